// Decoding of uncompressed BMP files: palettes, true colour, row order and damaged files.

#include "drawtest.h"
#include "gui/platform/raster/bmpdecoder.h"

#include <gtest/gtest.h>

using namespace quorvane;
using drawtest::makeBmp;
using drawtest::PixelBuffer;
using raster::rgb;

namespace {

const std::vector<uint32_t> kPalette = {rgb(255, 255, 255), rgb(200, 10, 20), rgb(1, 2, 3),
                                        rgb(0, 128, 255)};

bool decode(const std::vector<uint8_t>& file, PixelBuffer& out) {
    return raster::decodeBmp(file.data(), file.size(), out);
}

} // namespace

TEST(BmpDecoder, FourBitPaletteWithOddWidth) {
    PixelBuffer out;
    ASSERT_TRUE(decode(makeBmp(3, 4, kPalette, {{1, 2, 3}, {0, 3, 1}}), out));
    ASSERT_EQ(out.width(), 3);
    ASSERT_EQ(out.height(), 2);
    EXPECT_EQ(out.at(0, 0), rgb(200, 10, 20));
    EXPECT_EQ(out.at(1, 0), rgb(1, 2, 3));
    EXPECT_EQ(out.at(2, 0), rgb(0, 128, 255));
    EXPECT_EQ(out.at(0, 1), rgb(255, 255, 255));
    EXPECT_EQ(out.at(2, 1), rgb(200, 10, 20));
}

TEST(BmpDecoder, EightBitPaletteRowsPaddedToFourBytes) {
    PixelBuffer out;
    ASSERT_TRUE(decode(makeBmp(5, 8, kPalette, {{0, 1, 2, 3, 0}, {3, 3, 3, 3, 2}}), out));
    EXPECT_EQ(out.at(4, 0), rgb(255, 255, 255));
    EXPECT_EQ(out.at(3, 0), rgb(0, 128, 255));
    EXPECT_EQ(out.at(4, 1), rgb(1, 2, 3));
}

TEST(BmpDecoder, TwentyFourBitTopDown) {
    PixelBuffer out;
    const uint32_t a = rgb(9, 8, 7), b = rgb(250, 0, 5);
    ASSERT_TRUE(decode(makeBmp(2, 24, {}, {{a, b}, {b, a}}, true), out));
    EXPECT_EQ(out.at(0, 0), a);
    EXPECT_EQ(out.at(1, 0), b);
    EXPECT_EQ(out.at(0, 1), b);
}

TEST(BmpDecoder, PaletteIndexBeyondTheListedColoursIsBlack) {
    PixelBuffer out;
    ASSERT_TRUE(decode(makeBmp(2, 4, {rgb(5, 5, 5)}, {{0, 9}}), out));
    EXPECT_EQ(out.at(0, 0), rgb(5, 5, 5));
    EXPECT_EQ(out.at(1, 0), rgb(0, 0, 0));
}

TEST(BmpDecoder, RejectsDamagedOrUnsupportedFiles) {
    const auto good = makeBmp(4, 8, kPalette, {{0, 1, 2, 3}, {3, 2, 1, 0}});
    PixelBuffer out(1, 1, 42);
    auto truncated = good;
    truncated.resize(good.size() - 1);
    EXPECT_FALSE(decode(truncated, out));
    auto compressed = good;
    compressed[14 + 16] = 1; // run-length encoded
    EXPECT_FALSE(decode(compressed, out));
    auto badMagic = good;
    badMagic[0] = 'X';
    EXPECT_FALSE(decode(badMagic, out));
    auto farOffset = good;
    farOffset[10] = 0xFF;
    farOffset[11] = 0xFF;
    EXPECT_FALSE(decode(farOffset, out));
    auto tooManyColours = good;
    tooManyColours[14 + 32 + 1] = 0x10; // 4096 palette entries for 8 bits
    EXPECT_FALSE(decode(tooManyColours, out));
    EXPECT_FALSE(raster::decodeBmp(good.data(), 20, out));
    EXPECT_FALSE(raster::decodeBmp(nullptr, 0, out));
    EXPECT_EQ(out.width(), 1); // untouched by every failure
    EXPECT_EQ(out.at(0, 0), 42u);
}
