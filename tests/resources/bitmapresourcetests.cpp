// The seven bitmaps as the plug-in loads them: embedded files with the sizes and depths the
// editor's layout follows from, lamp frames that light the lamp of the clicked zone, meter strips
// whose segments line up with the meter's segment arithmetic, and white only where it is keyed.

#include "gui/platform/raster/bmpdecoder.h"
#include "gui/platform/raster/resourcetable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using quorvane::raster::PixelBuffer;
using quorvane::raster::rgb;

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kFace = rgb(232, 229, 224);

std::vector<uint8_t> readFile(int id) {
    const std::string path = std::string(QUORVANE_BMP_DIR) + "/" + std::to_string(id) + ".bmp";
    std::vector<uint8_t> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF)
            bytes.push_back(uint8_t(c));
        std::fclose(f);
    }
    return bytes;
}

uint32_t le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | b.at(at + size_t(i));
    return v;
}

// The resource as the toolkit gets it.
PixelBuffer load(int id) {
    auto image = quorvane::raster::ResourceTable::instance().load(id);
    return image ? image->pixels() : PixelBuffer();
}

int red(uint32_t p) {
    return int((p >> 16) & 0xFF);
}
int green(uint32_t p) {
    return int((p >> 8) & 0xFF);
}
int blue(uint32_t p) {
    return int(p & 0xFF);
}
int brightness(uint32_t p) {
    return red(p) + green(p) + blue(p);
}

int segmentStart(int j) {
    return int(15.1 * j);
}

struct Expected {
    int id, width, height, bits;
};
constexpr Expected kResources[] = {{128, 900, 202, 8}, {129, 16, 70, 4},  {130, 14, 12, 4},
                                   {131, 604, 27, 8},  {132, 604, 27, 8}, {133, 31, 135, 8},
                                   {134, 27, 56, 8}};

TEST(BitmapFiles, AreUncompressedPalettisedBmpsOfTheLayoutSizes) {
    for (const auto& e : kResources) {
        SCOPED_TRACE(e.id);
        const auto bytes = readFile(e.id);
        ASSERT_GT(bytes.size(), 54u);
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        EXPECT_EQ(le(bytes, 2, 4), bytes.size());
        EXPECT_EQ(le(bytes, 14, 4), 40u);
        EXPECT_EQ(int32_t(le(bytes, 18, 4)), e.width);
        EXPECT_EQ(int32_t(le(bytes, 22, 4)), e.height); // positive: bottom-up rows
        EXPECT_EQ(le(bytes, 28, 2), uint32_t(e.bits));
        EXPECT_EQ(le(bytes, 30, 4), 0u);
        EXPECT_LE(le(bytes, 46, 4), 1u << e.bits);
        const size_t stride = (size_t(e.width) * e.bits + 31) / 32 * 4;
        EXPECT_EQ(bytes.size(), le(bytes, 10, 4) + stride * size_t(e.height));
    }
}

TEST(BitmapFiles, AreTheResourcesThePluginLoads) {
    for (const auto& e : kResources) {
        SCOPED_TRACE(e.id);
        const auto bytes = readFile(e.id);
        PixelBuffer fromFile;
        ASSERT_TRUE(quorvane::raster::decodeBmp(bytes.data(), bytes.size(), fromFile));
        const PixelBuffer loaded = load(e.id);
        EXPECT_EQ(loaded.width(), e.width);
        EXPECT_EQ(loaded.height(), e.height);
        EXPECT_TRUE(loaded == fromFile);
    }
}

TEST(BitmapWhite, AppearsOnlyInTheHandleCorners) {
    for (const auto& e : kResources) {
        if (e.id == 130) continue;
        SCOPED_TRACE(e.id);
        const PixelBuffer p = load(e.id);
        int whites = 0;
        for (uint32_t px : p.data())
            whites += px == kWhite;
        EXPECT_EQ(whites, 0);
    }
    const PixelBuffer handle = load(130);
    ASSERT_EQ(handle.width(), 14);
    int whites = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 14; ++x) {
            const bool white = handle.at(x, y) == kWhite;
            whites += white;
            const bool corner = (x < 2 || x > 11) && (y < 2 || y > 9);
            if (!corner) {
                EXPECT_FALSE(white) << x << "," << y;
            }
        }
    for (auto [x, y] : {std::pair{0, 0}, {13, 0}, {0, 11}, {13, 11}})
        EXPECT_EQ(handle.at(x, y), kWhite) << x << "," << y;
    EXPECT_LE(whites, 16);
}

TEST(BitmapHandle, HasADarkGripLineAcrossItsMiddle) {
    const PixelBuffer handle = load(130);
    for (int x = 2; x < 12; ++x)
        EXPECT_LT(brightness(handle.at(x, 5)), brightness(handle.at(x, 3)) / 2) << x;
}

TEST(BitmapTrack, IsFaceColouredBesideADarkGroove) {
    const PixelBuffer track = load(129);
    for (int y = 0; y < 70; ++y) {
        EXPECT_EQ(track.at(0, y), kFace) << y;
        EXPECT_EQ(track.at(15, y), kFace) << y;
    }
    for (int y = 6; y < 64; ++y)
        EXPECT_LT(brightness(track.at(8, y)), 150) << y;
}

// How strongly the 7 x 7 square centred on (cx, cy) glows amber: the sum of red minus blue,
// small on the neutral face and the dark bezel, large on a lit lamp.
long lampGlow(const PixelBuffer& p, int cx, int cy) {
    long sum = 0;
    for (int y = cy - 3; y <= cy + 3; ++y)
        for (int x = cx - 3; x <= cx + 3; ++x)
            sum += red(p.at(x, y)) - blue(p.at(x, y));
    return sum;
}

// Column of the lamps: the most glowing lamp square of frame 0's first zone.
int lampColumn(const PixelBuffer& p, int zone) {
    int best = 3;
    for (int x = 3; x < p.width() - 3; ++x)
        if (lampGlow(p, x, zone / 2) > lampGlow(p, best, zone / 2)) best = x;
    return best;
}

// Frame k of a lamp switch lights the lamp of zone k: its lamp, centred in the zone, is amber
// and far brighter than the lamps of the other zones.
void expectLampFrames(int id, int frameHeight, int positions) {
    const PixelBuffer p = load(id);
    const int zone = frameHeight / positions, cx = lampColumn(p, zone);
    EXPECT_GT(cx, 5);
    EXPECT_LT(cx, p.width() - 6);
    for (int frame = 0; frame < positions; ++frame) {
        const int top = frame * frameHeight;
        const uint32_t centre = p.at(cx, top + frame * zone + zone / 2);
        EXPECT_GT(red(centre), 200) << "frame " << frame;
        EXPECT_GT(red(centre), blue(centre) + 80) << "frame " << frame;
        const long lit = lampGlow(p, cx, top + frame * zone + zone / 2);
        for (int k = 0; k < positions; ++k)
            if (k != frame) {
                EXPECT_GT(lit, 2 * lampGlow(p, cx, top + k * zone + zone / 2))
                    << "frame " << frame << " zone " << k;
            }
    }
}

TEST(BitmapLamps, ThreePositionSwitchLightsTheLampOfEachZone) {
    expectLampFrames(133, 45, 3);
}

TEST(BitmapLamps, TwoPositionSwitchLightsTheLampOfEachZone) {
    expectLampFrames(134, 28, 2);
}

TEST(BitmapLamps, PictureEdgesMatchThePanelFace) {
    for (int id : {133, 134}) {
        const PixelBuffer p = load(id);
        for (int y = 0; y < p.height(); ++y) {
            EXPECT_EQ(p.at(0, y), kFace) << id << " row " << y;
            EXPECT_EQ(p.at(p.width() - 1, y), kFace) << id << " row " << y;
        }
    }
}

// Segment colour classes at the centre of segment j of the lit strip.
bool isGreen(uint32_t p) {
    return green(p) > 180 && green(p) > red(p) + 60 && green(p) > blue(p) + 40;
}
bool isAmber(uint32_t p) {
    return red(p) > 220 && green(p) > 140 && green(p) < red(p) - 30 && blue(p) < 110;
}
bool isRed(uint32_t p) {
    return red(p) > 220 && green(p) < 120 && blue(p) < 120;
}

TEST(BitmapMeter, LitSegmentsAreGreenThenAmberThenRed) {
    const PixelBuffer lit = load(132);
    for (int j = 0; j < 40; ++j) {
        const int x = (segmentStart(j) + segmentStart(j + 1)) / 2;
        const uint32_t p = lit.at(x, 13);
        if (j < 28)
            EXPECT_TRUE(isGreen(p)) << "segment " << j;
        else if (j < 34)
            EXPECT_TRUE(isAmber(p)) << "segment " << j;
        else
            EXPECT_TRUE(isRed(p)) << "segment " << j;
    }
}

// Both strips are dark across their full height at each segment's first and last column, so a
// partly drawn strip always ends in a gap.
TEST(BitmapMeter, BothStripsHaveDarkGapsAtTheSegmentBoundaries) {
    for (int id : {131, 132}) {
        const PixelBuffer p = load(id);
        for (int j = 0; j < 40; ++j)
            for (int x : {segmentStart(j), segmentStart(j + 1) - 1})
                for (int y = 0; y < 27; ++y)
                    EXPECT_LT(brightness(p.at(x, y)), 120)
                        << id << " segment " << j << " x " << x << " y " << y;
    }
}

TEST(BitmapMeter, UnlitSegmentsAreDimVersionsOfTheLitOnes) {
    const PixelBuffer lit = load(132), unlit = load(131);
    const uint32_t gap = unlit.at(0, 13);
    for (int j = 0; j < 40; ++j) {
        const int x = (segmentStart(j) + segmentStart(j + 1)) / 2;
        const uint32_t on = lit.at(x, 13), off = unlit.at(x, 13);
        EXPECT_NE(off, gap) << j;
        EXPECT_LT(brightness(off) * 2, brightness(on)) << j;
        if (j < 28)
            EXPECT_GT(green(off), red(off)) << j;
        else
            EXPECT_GT(red(off), blue(off)) << j;
    }
}

// The strips and switches sit seamlessly on the background: the colour just outside each control
// rectangle is the colour of the picture's own edge.
TEST(BitmapPanel, ControlsContinueTheBackgroundAroundThem) {
    const PixelBuffer panel = load(128), strip = load(131), track = load(129);
    for (int rowTop : {65, 115})
        for (int y = 2; y < 25; ++y) {
            EXPECT_EQ(panel.at(150, rowTop + y), strip.at(0, y)) << rowTop + y;
            EXPECT_EQ(panel.at(755, rowTop + y), strip.at(603, y)) << rowTop + y;
        }
    for (int y = 105; y < 175; ++y) {
        EXPECT_EQ(panel.at(822, y), track.at(0, y - 105)) << y;
        EXPECT_EQ(panel.at(839, y), track.at(15, y - 105)) << y;
    }
}

TEST(BitmapPanel, DelayDisplayAreaIsPlainFace) {
    const PixelBuffer panel = load(128);
    for (int y = 92; y <= 104; ++y)
        for (int x = 818; x <= 845; ++x)
            EXPECT_EQ(panel.at(x, y), kFace) << x << "," << y;
}

TEST(BitmapPanel, MeterWindowIsDarkBetweenTheRowsAndCarriesTheScale) {
    const PixelBuffer panel = load(128);
    // dark window around the scale band, with light scale marks at segment centres
    int lightPixels = 0;
    for (int y = 92; y < 115; ++y)
        for (int x = 151; x < 755; ++x)
            lightPixels += brightness(panel.at(x, y)) > 300;
    EXPECT_GT(lightPixels, 200);
    EXPECT_LT(lightPixels, 604 * 23 / 4);
    for (int j = 0; j < 40; ++j) {
        const int x = 151 + (segmentStart(j) + segmentStart(j + 1)) / 2;
        EXPECT_GT(brightness(panel.at(x, 94)), 250) << "tick of segment " << j;
    }
}

} // namespace

namespace {

// Every pixel of the background in [x0, x1) x [y0, y1) has colour c.
int pixelsNotOfColour(const PixelBuffer& p, int x0, int y0, int x1, int y1, uint32_t c) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += p.at(x, y) != c;
    return n;
}

// Nothing of the background is lost under a control: labels and marks lie outside every
// control rectangle, which the background fills with the colour around the control.
TEST(BitmapPanel, NoLabelHidesUnderAControl) {
    const PixelBuffer panel = load(128);
    const uint32_t window = panel.at(151, 65);
    EXPECT_EQ(pixelsNotOfColour(panel, 823, 105, 839, 175, kFace), 0);
    EXPECT_EQ(pixelsNotOfColour(panel, 83, 40, 114, 85, kFace), 0);
    EXPECT_EQ(pixelsNotOfColour(panel, 83, 122, 114, 167, kFace), 0);
    EXPECT_EQ(pixelsNotOfColour(panel, 793, 40, 820, 68, kFace), 0);
    EXPECT_EQ(pixelsNotOfColour(panel, 151, 65, 755, 92, window), 0);
    EXPECT_EQ(pixelsNotOfColour(panel, 151, 115, 755, 142, window), 0);
}

} // namespace
