// Text: fonts found through the font configuration, layout of drawString (alignment,
// vertical centring, opaque background) and anti-aliasing in the font colour.

#include "drawtest.h"
#include "gui/cdrawcontext.h"
#include "gui/platform/raster/fontcache.h"
#include "gui/platform/raster/rasterdevice.h"

#include <gtest/gtest.h>

using namespace VSTGUI;
using namespace quorvane;
using drawtest::Box;
using drawtest::count;
using drawtest::inkBox;
using drawtest::PixelBuffer;
using raster::rgb;

namespace {

constexpr uint32_t kBack = rgb(0, 0, 0);

struct TextSurface {
    PixelBuffer pixels;
    raster::RasterDevice device;
    CDrawContext context;
    TextSurface(int w, int h)
        : pixels(w, h, kBack), device(pixels), context(nullptr, &device, nullptr) {
        context.setFont(kFontArial12);
        context.setFontColor(kWhiteColor);
    }
    const raster::RasterFont& font() const { return *device.font(); }
};

} // namespace

TEST(Fonts, ArialResolvesToAMetricCompatibleFaceWithItsLineBox) {
    auto* regular = raster::FontCache::instance().get({"Arial", 12, 400, false, false, 34});
    ASSERT_NE(regular, nullptr);
    EXPECT_EQ(regular->family(), "Liberation Sans");
    EXPECT_EQ(regular->ascent(), 11);
    EXPECT_EQ(regular->descent(), 3);
    EXPECT_FALSE(regular->bold());
    auto* bold = raster::FontCache::instance().get({"Arial", 12, 700, false, false, 34});
    ASSERT_NE(bold, nullptr);
    EXPECT_TRUE(bold->bold());
    EXPECT_NE(bold, regular);
    EXPECT_GT(bold->textWidth("Quorvane"), regular->textWidth("Quorvane"));
}

TEST(Fonts, FontsAreBuiltOnceAndKept) {
    auto& cache = raster::FontCache::instance();
    auto* first = cache.get({"Arial", 14, 400, false, false, 34});
    const size_t size = cache.size();
    EXPECT_EQ(cache.get({"Arial", 14, 400, false, false, 34}), first);
    EXPECT_EQ(cache.size(), size);
}

TEST(Fonts, BoldSymbolFontIsFoundAndMadeBold) {
    PixelBuffer pixels(40, 20, kBack);
    raster::RasterDevice device(pixels);
    CDrawContext context(nullptr, &device, nullptr);
    context.setFont(kFontSymbol13, kBoldFace);
    ASSERT_NE(device.font(), nullptr);
    EXPECT_TRUE(device.font()->bold());
    EXPECT_EQ(device.font()->pixelSize(), 13);
    context.drawString("abc", CRect(0, 0, 40, 20));
    EXPECT_FALSE(inkBox(pixels, kBack).empty());
}

TEST(Text, LeftAlignedTextStartsOnePixelRightOfTheEdge) {
    TextSurface s(80, 20);
    s.context.setFillColor(kRedColor);
    s.context.drawString("HH", CRect(10, 0, 60, 20), true, kLeftText);
    // the opaque box starts at left + 1 and spans the text's advance width
    const Box box = inkBox(s.pixels, kBack);
    EXPECT_EQ(box.left, 11);
    EXPECT_EQ(box.right, 11 + s.font().textWidth("HH") - 1);
    EXPECT_EQ(s.pixels.at(11, box.top), rgb(255, 0, 0));
}

TEST(Text, CentredAndRightAlignedInk) {
    TextSurface centre(100, 20), right(100, 20);
    centre.context.drawString("HIH", CRect(0, 0, 100, 20), false, kCenterText);
    right.context.drawString("HIH", CRect(0, 0, 100, 20), false, kRightText);
    const int width = centre.font().textWidth("HIH");
    const Box c = inkBox(centre.pixels, kBack), r = inkBox(right.pixels, kBack);
    // the same glyphs, shifted: right alignment puts the advance box against the right edge
    EXPECT_EQ(r.left - c.left, (100 - width) - (100 - width) / 2);
    EXPECT_LE(r.right, 99);
    EXPECT_GE(r.right, 100 - 3); // an H ends close to its advance
    // centred ink is balanced within a pixel or two of side bearing
    EXPECT_LE(std::abs(c.left - (99 - c.right)), 2);
}

TEST(Text, SingleLineVerticallyCentred) {
    TextSurface s(60, 40);
    s.context.setFillColor(kRedColor);
    s.context.drawString("Hg", CRect(0, 10, 60, 30), true, kCenterText);
    // line box 14 (ascent 11 + descent 3) centred in 20 rows: rows 13 .. 26
    int top = -1, bottom = -1;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            if (s.pixels.at(x, y) != kBack) {
                if (top < 0) top = y;
                bottom = y;
            }
    EXPECT_EQ(top, 13);
    EXPECT_EQ(bottom, 26);
    // an H stands on the baseline: its lowest ink is the row above baseline 13 + 11
    TextSurface h(60, 40);
    h.context.drawString("H", CRect(0, 10, 60, 30), false, kCenterText);
    EXPECT_EQ(inkBox(h.pixels, kBack).bottom, 23);
    EXPECT_EQ(inkBox(h.pixels, kBack).top, 24 - 9); // a 12-pixel cap height is about 9
}

TEST(Text, OpaqueBackgroundFillsOnlyTheTextBox) {
    TextSurface s(80, 30);
    s.context.setFillColor(CColor{0, 0, 255, 0});
    s.context.setFontColor(CColor{255, 255, 0, 0});
    s.context.drawString("Hi", CRect(0, 0, 80, 30), true, kCenterText);
    const int width = s.font().textWidth("Hi");
    const Box box = inkBox(s.pixels, kBack);
    EXPECT_EQ(box.right - box.left + 1, width);
    EXPECT_EQ(box.bottom - box.top + 1, 14);
    EXPECT_EQ(box.left, (80 - width) / 2);
    EXPECT_EQ(box.top, (30 - 14) / 2);
    // every pixel of the box is the fill, the font colour or a blend of the two
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x) {
            const uint32_t p = s.pixels.at(x, y);
            EXPECT_EQ(raster::redOf(p), raster::greenOf(p)) << x << "," << y;
            EXPECT_EQ(raster::redOf(p) + raster::blueOf(p), 255u) << x << "," << y;
        }
}

TEST(Text, TransparentTextKeepsTheBackgroundAndIsAntiAliasedInTheFontColour) {
    TextSurface s(80, 30);
    s.pixels.fill(rgb(0, 0, 200));
    s.context.setFontColor(CColor{200, 0, 0, 0});
    s.context.drawString("Quorvane", CRect(0, 0, 80, 30), false, kCenterText);
    int full = 0, partial = 0;
    for (uint32_t p : s.pixels.data()) {
        EXPECT_EQ(raster::greenOf(p), 0u);
        EXPECT_EQ(raster::redOf(p) + raster::blueOf(p), 200u); // a blend of the two colours
        full += p == rgb(200, 0, 0);
        partial += p != rgb(200, 0, 0) && p != rgb(0, 0, 200);
    }
    EXPECT_GT(full, 0);
    EXPECT_GT(partial, 10);
    EXPECT_EQ(s.pixels.at(0, 0), rgb(0, 0, 200));
}

TEST(Text, TextIsClippedToItsRectangle) {
    TextSurface s(100, 30);
    s.context.setFillColor(kRedColor);
    s.context.drawString("WWWWWWWW", CRect(20, 10, 40, 20), true, kCenterText);
    const Box box = inkBox(s.pixels, kBack);
    EXPECT_EQ(box.left, 20);
    EXPECT_EQ(box.right, 39);
    EXPECT_GE(box.top, 10);
    EXPECT_LE(box.bottom, 19);
}

TEST(Text, EmptyAndMissingTextDrawNothing) {
    TextSurface s(30, 20);
    s.context.drawString("", CRect(0, 0, 30, 20), true);
    s.context.drawString(nullptr, CRect(0, 0, 30, 20), true);
    EXPECT_EQ(count(s.pixels, kBack), 30 * 20);
}

TEST(Text, UnderlineRunsAcrossTheText) {
    TextSurface plain(60, 20), underlined(60, 20);
    underlined.context.setFont(kFontArial12, kUnderlineFace);
    plain.context.drawString("ab", CRect(0, 0, 60, 20), false, kLeftText);
    underlined.context.drawString("ab", CRect(0, 0, 60, 20), false, kLeftText);
    const Box p = inkBox(plain.pixels, kBack), u = inkBox(underlined.pixels, kBack);
    EXPECT_GT(u.bottom, p.bottom);
    EXPECT_EQ(u.left, 1);
    EXPECT_EQ(underlined.pixels.at(1, u.bottom), rgb(255, 255, 255));
}
