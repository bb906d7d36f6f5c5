// CBitmap: loading by id, opaque and keyed drawing, clipping of the source, reference counts
// and the bitmaps compiled into the binary.

#include "drawtest.h"
#include "gui/cbitmap.h"
#include "gui/platform/headless/headless.h"
#include "gui/platform/raster/rasterdevice.h"

#include <gtest/gtest.h>

using namespace VSTGUI;
using namespace quorvane;
using drawtest::count;
using drawtest::PixelBuffer;
using raster::rgb;

namespace {

constexpr uint32_t kBack = rgb(7, 7, 7);
constexpr uint32_t kWhite = rgb(255, 255, 255);
constexpr int32_t kPatternId = 900;
constexpr int32_t kNoWhiteId = 901;

// 4 x 3: column x, row y holds rgb(10 * x, 10 * y, 100); a white pixel at (1, 1) and (3, 0).
PixelBuffer pattern() {
    PixelBuffer p(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            p.set(x, y, rgb(10 * x, 10 * y, 100));
    p.set(1, 1, kWhite);
    p.set(3, 0, kWhite);
    return p;
}

class BitmapTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        headless::registerBitmap(kPatternId, pattern());
        PixelBuffer noWhite = pattern();
        noWhite.set(1, 1, rgb(255, 255, 254));
        noWhite.set(3, 0, rgb(0, 0, 0));
        headless::registerBitmap(kNoWhiteId, noWhite);
    }
    void TearDown() override {
        headless::unregisterBitmap(kPatternId);
        headless::unregisterBitmap(kNoWhiteId);
    }

    PixelBuffer target{12, 10, kBack};
    raster::RasterDevice device{target};
    CDrawContext context{nullptr, &device, nullptr};
};

} // namespace

TEST_F(BitmapTest, LoadsItsSizeFromTheResource) {
    auto* bitmap = new CBitmap(kPatternId);
    EXPECT_TRUE(bitmap->isLoaded());
    EXPECT_EQ(bitmap->getWidth(), 4);
    EXPECT_EQ(bitmap->getHeight(), 3);
    EXPECT_EQ(bitmap->getNbReference(), 1);
    EXPECT_EQ(bitmap->getTransparentColor(), kWhiteColor);
    bitmap->forget();
}

TEST_F(BitmapTest, OnlyTheLow16BitsOfTheIdSelectTheResource) {
    auto* bitmap = new CBitmap(kPatternId + 0x10000);
    EXPECT_EQ(bitmap->getWidth(), 4);
    EXPECT_EQ(bitmap->getResourceId(), kPatternId + 0x10000);
    bitmap->forget();
}

TEST_F(BitmapTest, MissingResourceIsEmptyAndDrawsNothing) {
    auto* bitmap = new CBitmap(4242);
    EXPECT_FALSE(bitmap->isLoaded());
    EXPECT_EQ(bitmap->getWidth(), 0);
    EXPECT_EQ(bitmap->getHeight(), 0);
    bitmap->draw(&context, CRect(0, 0, 12, 10));
    bitmap->drawTransparent(&context, CRect(0, 0, 12, 10));
    EXPECT_EQ(count(target, kBack), 120);
    bitmap->forget();
}

TEST_F(BitmapTest, DrawCopiesFromTheOffsetOpaquely) {
    auto* bitmap = new CBitmap(kPatternId);
    bitmap->draw(&context, CRect(5, 6, 8, 8), CPoint(1, 1)); // 3 x 2 from (1, 1)
    EXPECT_EQ(target.at(5, 6), kWhite);
    EXPECT_EQ(target.at(6, 6), rgb(20, 10, 100));
    EXPECT_EQ(target.at(7, 6), rgb(30, 10, 100));
    EXPECT_EQ(target.at(5, 7), rgb(10, 20, 100));
    EXPECT_EQ(target.at(7, 7), rgb(30, 20, 100));
    EXPECT_EQ(count(target, kBack), 120 - 6);
    bitmap->forget();
}

TEST_F(BitmapTest, DrawTransparentKeysOutPureWhite) {
    auto* bitmap = new CBitmap(kPatternId);
    bitmap->drawTransparent(&context, CRect(0, 0, 4, 3));
    EXPECT_EQ(target.at(1, 1), kBack);
    EXPECT_EQ(target.at(3, 0), kBack);
    EXPECT_EQ(target.at(0, 0), rgb(0, 0, 100));
    EXPECT_EQ(target.at(2, 1), rgb(20, 10, 100));
    EXPECT_EQ(count(target, kBack), 120 - 10);
    bitmap->forget();
}

TEST_F(BitmapTest, DrawTransparentOfAnImageWithoutWhiteEqualsDraw) {
    auto* bitmap = new CBitmap(kNoWhiteId);
    PixelBuffer other(12, 10, kBack);
    raster::RasterDevice otherDevice(other);
    CDrawContext otherContext(nullptr, &otherDevice, nullptr);
    bitmap->draw(&context, CRect(2, 3, 6, 6));
    bitmap->drawTransparent(&otherContext, CRect(2, 3, 6, 6));
    EXPECT_EQ(target, other);
    EXPECT_EQ(count(target, kBack), 120 - 12);
    bitmap->forget();
}

TEST_F(BitmapTest, SourcePartlyOutsideTheImageCopiesOnlyTheInside) {
    auto* bitmap = new CBitmap(kPatternId);
    bitmap->draw(&context, CRect(0, 0, 6, 6), CPoint(2, 1)); // columns 2..3, rows 1..2 exist
    EXPECT_EQ(count(target, kBack), 120 - 4);
    EXPECT_EQ(target.at(0, 0), rgb(20, 10, 100));
    EXPECT_EQ(target.at(1, 1), rgb(30, 20, 100));
    bitmap->drawTransparent(&context, CRect(8, 8, 20, 20), CPoint(-1, -1));
    EXPECT_EQ(target.at(8, 8), kBack);            // source (-1, -1) does not exist
    EXPECT_EQ(target.at(9, 9), rgb(0, 0, 100));   // source (0, 0)
    EXPECT_EQ(target.at(11, 9), rgb(20, 0, 100)); // source (2, 0)
    bitmap->forget();
}

TEST_F(BitmapTest, DrawingWithoutADeviceDoesNothing) {
    auto* bitmap = new CBitmap(kPatternId);
    CDrawContext empty(nullptr, nullptr, nullptr);
    bitmap->draw(&empty, CRect(0, 0, 4, 3));
    bitmap->draw(nullptr, CRect(0, 0, 4, 3));
    bitmap->drawTransparent(nullptr, CRect(0, 0, 4, 3));
    bitmap->forget();
}

TEST_F(BitmapTest, RememberAndForgetCountReferences) {
    auto* bitmap = new CBitmap(kPatternId);
    bitmap->remember();
    bitmap->remember();
    EXPECT_EQ(bitmap->getNbReference(), 3);
    bitmap->forget();
    bitmap->forget();
    EXPECT_EQ(bitmap->getNbReference(), 1);
    EXPECT_EQ(bitmap->getWidth(), 4); // still alive and usable
    bitmap->forget();                 // the last reference destroys it (checked by sanitizers)
}

TEST_F(BitmapTest, EachBitmapHasItsOwnImage) {
    auto* a = new CBitmap(kPatternId);
    headless::registerBitmap(kPatternId, PixelBuffer(1, 1, 0));
    auto* b = new CBitmap(kPatternId);
    EXPECT_EQ(a->getWidth(), 4);
    EXPECT_EQ(b->getWidth(), 1);
    a->forget();
    b->draw(&context, CRect(0, 0, 1, 1));
    EXPECT_EQ(target.at(0, 0), 0u);
    b->forget();
}

TEST_F(BitmapTest, EmbeddedBmpFileLoadsById) {
    // tests/gui_draw/data/swatch4.bmp, compiled into this binary as resource 300
    auto* bitmap = new CBitmap(300);
    ASSERT_TRUE(bitmap->isLoaded());
    EXPECT_EQ(bitmap->getWidth(), 5);
    EXPECT_EQ(bitmap->getHeight(), 3);
    bitmap->draw(&context, CRect(0, 0, 5, 3));
    EXPECT_EQ(target.at(0, 0), rgb(255, 0, 0));
    EXPECT_EQ(target.at(1, 0), rgb(0, 255, 0));
    EXPECT_EQ(target.at(2, 0), rgb(0, 0, 255));
    EXPECT_EQ(target.at(3, 0), kWhite);
    EXPECT_EQ(target.at(2, 1), kWhite);
    EXPECT_EQ(target.at(0, 2), rgb(0, 0, 255));
    EXPECT_EQ(target.at(4, 2), rgb(255, 0, 0));
    bitmap->forget();
}
