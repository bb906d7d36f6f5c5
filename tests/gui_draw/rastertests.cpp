// The raster engine's pixel rules: outlines, fills, lines, pens, copies and clipping.

#include "drawtest.h"
#include "gui/platform/raster/rasterdevice.h"
#include "gui/platform/raster/rasterimage.h"
#include "gui/platform/raster/rasteroffscreen.h"

#include <gtest/gtest.h>

using namespace quorvane;
using drawtest::count;
using drawtest::PixelBuffer;
using raster::rgb;

namespace {

constexpr uint32_t kBack = rgb(10, 20, 30);
constexpr uint32_t kPen = rgb(255, 0, 0);
constexpr uint32_t kBrush = rgb(0, 0, 255);
constexpr platform::Colour kPenColour = 0x0000FF;   // red
constexpr platform::Colour kBrushColour = 0xFF0000; // blue

struct Surface {
    PixelBuffer pixels;
    raster::RasterDevice device;
    explicit Surface(int w = 20, int h = 12) : pixels(w, h, kBack), device(pixels) {
        device.setPen(kPenColour, platform::PenStyle::kSolid);
        device.setBrush(kBrushColour);
    }
    uint32_t at(int x, int y) const { return pixels.at(x, y); }
};

// Every pixel of the buffer, as 'o' for colour and '.' for anything else.
std::string picture(const PixelBuffer& b, uint32_t colour) {
    std::string s;
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x)
            s += b.at(x, y) == colour ? 'o' : '.';
        s += '\n';
    }
    return s;
}

} // namespace

TEST(RasterRect, OutlineIncludesAllFourEdges) {
    Surface s;
    s.device.frameRect({0, 0, 10, 5});
    for (int x = 0; x <= 10; ++x) {
        EXPECT_EQ(s.at(x, 0), kPen) << x;
        EXPECT_EQ(s.at(x, 5), kPen) << x;
    }
    for (int y = 0; y <= 5; ++y) {
        EXPECT_EQ(s.at(0, y), kPen) << y;
        EXPECT_EQ(s.at(10, y), kPen) << y;
    }
    EXPECT_EQ(count(s.pixels, kPen), 2 * 11 + 2 * 6 - 4);
    EXPECT_EQ(s.at(11, 0), kBack);
    EXPECT_EQ(s.at(0, 6), kBack);
    EXPECT_EQ(s.at(5, 2), kBack);
}

TEST(RasterRect, FillCoversOnlyTheInside) {
    Surface s;
    s.device.fillRect({0, 0, 10, 5});
    EXPECT_EQ(count(s.pixels, kBrush), 9 * 4);
    EXPECT_EQ(drawtest::inkBox(s.pixels, kBack).left, 1);
    EXPECT_EQ(drawtest::inkBox(s.pixels, kBack).top, 1);
    EXPECT_EQ(drawtest::inkBox(s.pixels, kBack).right, 9);
    EXPECT_EQ(drawtest::inkBox(s.pixels, kBack).bottom, 4);
}

TEST(RasterRect, FillThenOutlineMeetWithoutGapOrOverlap) {
    Surface s;
    s.device.fillRect({2, 2, 8, 6});
    s.device.frameRect({2, 2, 8, 6});
    EXPECT_EQ(count(s.pixels, kBrush), 5 * 3);
    EXPECT_EQ(count(s.pixels, kPen), 2 * 7 + 2 * 5 - 4);
}

TEST(RasterRect, EmptyAndReversedRectangles) {
    Surface s;
    s.device.fillRect({5, 5, 6, 6}); // no pixel strictly inside
    s.device.fillRect({8, 8, 3, 3});
    EXPECT_EQ(count(s.pixels, kBrush), 0);
    s.device.frameRect({4, 4, 4, 4});
    EXPECT_EQ(count(s.pixels, kPen), 0); // a path that never leaves its start draws nothing
    s.device.frameRect({4, 1, 4, 3});
    EXPECT_EQ(count(s.pixels, kPen), 3);
}

TEST(RasterRect, OutlineLeavesThePositionAtTheTopLeft) {
    Surface s;
    s.device.frameRect({3, 4, 9, 8});
    EXPECT_EQ(s.device.position().x, 3);
    EXPECT_EQ(s.device.position().y, 4);
}

TEST(RasterLine, EndPointIsExcluded) {
    Surface s;
    s.device.moveTo({2, 3});
    s.device.lineTo({7, 3});
    EXPECT_EQ(picture(s.pixels, kPen).substr(3 * 21, 21), "..ooooo.............\n");
    s.device.lineTo({7, 6});
    EXPECT_EQ(s.at(7, 3), kPen);
    EXPECT_EQ(s.at(7, 5), kPen);
    EXPECT_EQ(s.at(7, 6), kBack);
    EXPECT_EQ(count(s.pixels, kPen), 5 + 3);
    EXPECT_EQ(s.device.position().x, 7);
    EXPECT_EQ(s.device.position().y, 6);
}

TEST(RasterLine, BackwardsAndDiagonalLines) {
    Surface s(8, 8);
    s.device.moveTo({6, 1});
    s.device.lineTo({1, 1});
    EXPECT_EQ(picture(s.pixels, kPen).substr(9, 9), "..ooooo.\n");
    s.device.moveTo({0, 2});
    s.device.lineTo({4, 6});
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(s.at(i, 2 + i), kPen) << i;
    EXPECT_EQ(s.at(4, 6), kBack);
}

TEST(RasterLine, ShallowLineStepsOnceOnTheMinorAxis) {
    Surface s(10, 4);
    s.device.moveTo({0, 0});
    s.device.lineTo({8, 1});
    EXPECT_EQ(picture(s.pixels, kPen), "oooo......\n"
                                       "....oooo..\n"
                                       "..........\n"
                                       "..........\n");
}

TEST(RasterLine, ZeroLengthLineDrawsNothing) {
    Surface s;
    s.device.moveTo({4, 4});
    s.device.lineTo({4, 4});
    EXPECT_EQ(count(s.pixels, kPen), 0);
}

TEST(RasterPen, DottedPenSetsEveryOtherPixelAcrossTheWholePath) {
    Surface s(12, 6);
    s.device.setPen(kPenColour, platform::PenStyle::kDotted);
    s.device.moveTo({0, 0});
    s.device.lineTo({5, 0}); // 5 pixels: on off on off on
    s.device.lineTo({5, 4}); // continues: off on off on
    EXPECT_EQ(picture(s.pixels, kPen), "o.o.o.......\n"
                                       ".....o......\n"
                                       "............\n"
                                       ".....o......\n"
                                       "............\n"
                                       "............\n");
    s.device.moveTo({0, 5}); // a move starts the pattern again
    s.device.lineTo({3, 5});
    EXPECT_EQ(picture(s.pixels, kPen).substr(5 * 13), "o.o.........\n");
}

TEST(RasterPen, DottedOutlineHasHalfItsPixels) {
    Surface s;
    s.device.setPen(kPenColour, platform::PenStyle::kDotted);
    s.device.frameRect({0, 0, 10, 5});
    EXPECT_EQ(count(s.pixels, kPen), 15);
    EXPECT_EQ(s.at(0, 0), kPen);
    EXPECT_EQ(s.at(1, 0), kBack);
}

TEST(RasterClip, ShapesPartlyOutsideAreClippedToTheSurface) {
    Surface s(6, 4);
    s.device.fillRect({-10, -10, 3, 100});
    EXPECT_EQ(count(s.pixels, kBrush), 3 * 4);
    s.device.frameRect({-3, -3, 8, 2});
    EXPECT_EQ(count(s.pixels, kPen), 6); // only the bottom edge y = 2 lies inside
    s.device.moveTo({-1000000, 3});
    s.device.lineTo({1000000, 3});
    EXPECT_EQ(picture(s.pixels, kPen).substr(3 * 7), "oooooo\n");
}

TEST(RasterClip, FarAwayCoordinatesNeverTouchMemory) {
    Surface s(4, 4);
    const int32_t big = 2000000000;
    s.device.fillRect({-big, -big, big, big});
    EXPECT_EQ(count(s.pixels, kBrush), 16);
    s.device.frameRect({-big, -big, big, big});
    s.device.moveTo({-big, -big});
    s.device.lineTo({big, big});
    s.device.copyImage(raster::RasterImage(PixelBuffer(3, 3, kPen)), {-big, -big, big, big},
                       {-big, big});
    EXPECT_EQ(count(s.pixels, kBrush), 16);
}

TEST(RasterCopy, OpaqueCopyMapsSourceOffsetToRectangle) {
    PixelBuffer src(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            src.set(x, y, rgb(x, y, 7));
    raster::RasterImage image(src);
    Surface s(10, 10);
    s.device.copyImage(image, {5, 6, 7, 8}, {1, 1});
    EXPECT_EQ(s.at(5, 6), rgb(1, 1, 7));
    EXPECT_EQ(s.at(6, 6), rgb(2, 1, 7));
    EXPECT_EQ(s.at(5, 7), rgb(1, 2, 7));
    EXPECT_EQ(s.at(6, 7), rgb(2, 2, 7));
    EXPECT_EQ(count(s.pixels, kBack), 100 - 4);
}

TEST(RasterCopy, SourcePartlyOutsideTheImageCopiesOnlyWhatIsInside) {
    raster::RasterImage image(PixelBuffer(4, 4, kPen));
    Surface s(10, 10);
    s.device.copyImage(image, {0, 0, 6, 6}, {2, -1}); // columns 2..3, rows 0..3 exist
    EXPECT_EQ(count(s.pixels, kPen), 2 * 4);
    EXPECT_EQ(drawtest::inkBox(s.pixels, kBack).left, 0);
    EXPECT_EQ(drawtest::inkBox(s.pixels, kBack).top, 1);
    EXPECT_EQ(drawtest::inkBox(s.pixels, kBack).right, 1);
    EXPECT_EQ(drawtest::inkBox(s.pixels, kBack).bottom, 4);
}

TEST(RasterCopy, DestinationPartlyOutsideIsClipped) {
    raster::RasterImage image(PixelBuffer(5, 5, kPen));
    Surface s(4, 4);
    s.device.copyImage(image, {2, -2, 7, 3}, {0, 0});
    EXPECT_EQ(count(s.pixels, kPen), 2 * 3);
}

TEST(RasterCopy, KeyedCopyLeavesKeyPixelsAlone) {
    PixelBuffer src(3, 1);
    src.set(0, 0, rgb(255, 255, 255));
    src.set(1, 0, rgb(255, 255, 254));
    src.set(2, 0, rgb(0, 0, 0));
    Surface s(3, 1);
    s.device.copyImageKeyed(raster::RasterImage(src), {0, 0, 3, 1}, {0, 0}, 0xFFFFFF);
    EXPECT_EQ(s.at(0, 0), kBack);
    EXPECT_EQ(s.at(1, 0), rgb(255, 255, 254));
    EXPECT_EQ(s.at(2, 0), rgb(0, 0, 0));
}

TEST(RasterCopy, OffscreenCopiesIntoItselfLikeASeparateImage) {
    auto off = raster::RasterOffscreen::create(4, 4);
    ASSERT_TRUE(off);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            off->pixels().set(x, y, rgb(x, y, 0));
    const PixelBuffer before = off->pixels();
    off->device().copyImage(*off, {0, 1, 4, 4}, {0, 0}); // rows 0..2 down by one
    for (int y = 1; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(off->pixels().at(x, y), before.at(x, y - 1)) << x << "," << y;
}

TEST(RasterOffscreen, InvalidSizesGiveNoSurface) {
    EXPECT_FALSE(raster::RasterOffscreen::create(0, 5));
    EXPECT_FALSE(raster::RasterOffscreen::create(5, -1));
}

TEST(RasterDamage, TracksTheBoundsOfWrittenPixels) {
    Surface s;
    EXPECT_GE(s.device.damage().left, s.device.damage().right);
    s.device.fillRect({2, 3, 5, 9});
    s.device.moveTo({12, 1});
    s.device.lineTo({12, 2});
    const platform::Rect d = s.device.damage();
    EXPECT_EQ(d.left, 3);
    EXPECT_EQ(d.top, 1);
    EXPECT_EQ(d.right, 13);
    EXPECT_EQ(d.bottom, 9);
    // taken, it starts again from nothing
    EXPECT_EQ(s.device.takeDamage().right, 13);
    EXPECT_GE(s.device.damage().left, s.device.damage().right);
    s.device.fillRect({6, 6, 9, 9});
    EXPECT_EQ(s.device.damage().left, 7);
    EXPECT_EQ(s.device.damage().right, 9);
}
