// The marker meter's pixels and the delay display's text.

#include "editortest.h"

#include "gui/platform/raster/rasterdevice.h"

#include <cmath>
#include <limits>

namespace editortest {
namespace {

constexpr uint32_t kUnder = rgb(7, 7, 7);

// A marker meter of the editor's kind over a 700 x 40 surface, meter at (20, 5).
class Marker : public ::testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        registerPanelBitmaps();
        on = new CBitmap(132);
        off = new CBitmap(131);
    }
    void TearDown() override {
        on->forget();
        off->forget();
    }

    // Draws a fresh meter with value v onto the surface and answers the lit columns (relative
    // to the meter's left edge) of row 10 of the meter.
    std::vector<int> litColumns(float v, CBitmap* offImage = nullptr, int style = kHorizontal) {
        surface.fill(kUnder);
        auto* m = new CExtendedVuMeter(CRect(20, 5, 624, 32), on, offImage, 40, style);
        m->setDecreaseStepValue(100.0f);
        m->setValue(v);
        draw(m);
        m->forget();
        std::vector<int> lit;
        for (int x = 0; x < 604; ++x)
            if (surface.at(20 + x, 15) != kUnder && surface.at(20 + x, 15) != kMeterOff)
                lit.push_back(x);
        return lit;
    }
    void draw(CView* view) {
        quorvane::raster::RasterDevice device(surface);
        CDrawContext context(nullptr, &device, nullptr);
        view->draw(&context);
    }
    static std::vector<int> range(int first, int last) {
        std::vector<int> r;
        for (int x = first; x <= last; ++x)
            r.push_back(x);
        return r;
    }

    PixelBuffer surface{700, 40, kUnder};
    CBitmap* on = nullptr;
    CBitmap* off = nullptr;
};

TEST_F(Marker, HalfLightsSegmentNineteenOnly) {
    EXPECT_EQ(litColumns(0.5f), range(286, 301));
    EXPECT_EQ(surface.at(20 + 286, 15), meterOn(286, 10)); // taken from the same place
    EXPECT_EQ(surface.at(20 + 301, 5), meterOn(301, 0));
    EXPECT_EQ(surface.at(20 + 301, 31), meterOn(301, 26));
    EXPECT_EQ(surface.at(20 + 301, 32), kUnder);
}

TEST_F(Marker, FullAndAboveLightTheLastSegment) {
    EXPECT_EQ(litColumns(1.0f), range(588, 603));
    EXPECT_EQ(litColumns(1.7f), range(588, 603));
    EXPECT_EQ(surface.at(20 + 603, 15), meterOn(603, 10));
}

TEST_F(Marker, BoundaryOfTheLastSegment) {
    EXPECT_EQ(litColumns(0.9875f), range(588, 603));
    EXPECT_EQ(litColumns(0.99f), range(588, 603));
    EXPECT_EQ(litColumns(std::nextafter(0.9875f, 0.0f)), range(573, 587)); // segment 38
}

TEST_F(Marker, NothingLitBelowHalfASegment) {
    EXPECT_TRUE(litColumns(0.0f).empty());
    EXPECT_TRUE(litColumns(0.012f).empty());
    EXPECT_EQ(litColumns(0.0125f), range(0, 14)); // segment 0
    EXPECT_TRUE(litColumns(-3.0f).empty());
}

TEST_F(Marker, WithoutOffImageTheBarBeneathShowsThrough) {
    litColumns(0.5f);
    EXPECT_EQ(surface.at(20, 15), kUnder);
    EXPECT_EQ(surface.at(20 + 285, 15), kUnder);
    EXPECT_EQ(surface.at(20 + 302, 15), kUnder);
    EXPECT_EQ(surface.at(623, 31), kUnder);
}

TEST_F(Marker, WithOffImageEverythingElseIsUnlit) {
    EXPECT_EQ(litColumns(0.5f, off), range(286, 301));
    EXPECT_EQ(surface.at(20, 15), kMeterOff);
    EXPECT_EQ(surface.at(20 + 285, 15), kMeterOff);
    EXPECT_EQ(surface.at(20 + 302, 15), kMeterOff);
    EXPECT_EQ(surface.at(623, 31), kMeterOff);
    EXPECT_EQ(surface.at(624, 31), kUnder);
}

TEST_F(Marker, DrawingTwicePaintsTheSamePixelsAndLeavesTheRectanglesAlone) {
    auto* m = new CExtendedVuMeter(CRect(20, 5, 624, 32), on, nullptr, 40, kHorizontal);
    m->setDecreaseStepValue(100.0f);
    m->setValue(0.5f);
    draw(m);
    const PixelBuffer first = surface;
    surface.fill(kUnder);
    draw(m);
    EXPECT_EQ(surface, first);
    m->setValue(0.25f);
    surface.fill(kUnder);
    draw(m);
    EXPECT_EQ(surface.at(20 + 135, 15), meterOn(135, 10)); // segment 9: 135 .. 150
    EXPECT_EQ(surface.at(20 + 151, 15), kUnder);
    m->forget();
}

TEST_F(Marker, ValueIsClampedAndDecaysByTheStep) {
    auto* m = new CExtendedVuMeter(CRect(20, 5, 624, 32), on, nullptr, 40, kHorizontal);
    m->setValue(2.0f);
    draw(m);
    EXPECT_EQ(m->getValue(), 1.0f);
    EXPECT_EQ(m->getOldValue(), 1.0f);
    m->setValue(0.0f); // the default step of 0.1 lets the marker fall slowly
    draw(m);
    EXPECT_FLOAT_EQ(m->getOldValue(), 0.9f);
    EXPECT_TRUE(m->isDirty());
    m->forget();
}

TEST_F(Marker, WithoutOnImageNothingIsPaintedOrClamped) {
    auto* m = new CExtendedVuMeter(CRect(20, 5, 624, 32), nullptr, off, 40, kHorizontal);
    m->setValue(3.0f);
    draw(m);
    EXPECT_EQ(m->getValue(), 3.0f);
    EXPECT_EQ(m->getOldValue(), 1.0f);
    EXPECT_EQ(surface.at(20, 15), kUnder);
    m->forget();
}

TEST_F(Marker, VerticalGrowsFromTheBottomThenShrinks) {
    // a 135-pixel-high strip of 40 segments: k = trunc((1 - 2s) * 40 + 0.5) up to one half,
    // k = trunc((1 - 2(s - 0.5)) * 40 + 0.5) above, t = trunc(k / 40 * 135)
    CBitmap* tall = new CBitmap(133);
    auto rows = [&](float v) {
        PixelBuffer column(40, 150, kUnder);
        auto* m = new CExtendedVuMeter(CRect(5, 10, 36, 145), tall, nullptr, 40, 0);
        m->setDecreaseStepValue(100.0f);
        m->setValue(v);
        quorvane::raster::RasterDevice device(column);
        CDrawContext context(nullptr, &device, nullptr);
        m->draw(&context);
        m->forget();
        std::vector<int> lit;
        for (int y = 0; y < 150; ++y)
            if (column.at(20, y) != kUnder) lit.push_back(y - 10);
        return lit;
    };
    EXPECT_EQ(rows(0.0f), std::vector<int>{});
    EXPECT_EQ(rows(0.25f), range(67, 134));
    EXPECT_EQ(rows(0.5f), range(0, 134));
    EXPECT_EQ(rows(0.75f), range(0, 66));
    EXPECT_EQ(rows(1.0f), range(0, 2)); // the top segment alone
    tall->forget();
}

TEST(DelayText, ProductIsTruncatedAndSaturates) {
    struct Row {
        float value;
        const char* text;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Row rows[] = {
        {0.0f, "0"},         {0.5f, "150"},         {0.999f, "299"},
        {1.0f, "300"},       {0.7f, "209"},         {-0.5f, "-150"},
        {-0.001f, "0"},      {1e9f, "2147483647"},  {-1e9f, "-2147483648"},
        {inf, "2147483647"}, {-inf, "-2147483648"}, {std::nanf(""), "0"},
    };
    for (const Row& row : rows) {
        char text[32] = "untouched";
        delayStringConvert(row.value, text);
        EXPECT_STREQ(text, row.text) << row.value;
    }
}

} // namespace
} // namespace editortest
