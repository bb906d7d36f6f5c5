// CDrawContext and COffscreenContext: what they ask of the drawing device, and the pixels
// they produce on the headless back end; getMouseButtons and the pointer location.

#include "drawtest.h"
#include "gui/coffscreencontext.h"
#include "gui/platform/headless/headless.h"
#include "gui/platform/headless/headlesswindow.h"
#include "gui/platform/raster/rasterdevice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace VSTGUI;
using namespace quorvane;
using drawtest::count;
using drawtest::PixelBuffer;
using raster::rgb;

namespace {

// Remembers what the context asked of the device.
class RecordingDevice : public platform::Device {
public:
    struct Pen {
        platform::Colour colour;
        platform::PenStyle style;
    };
    std::vector<Pen> pens;
    std::vector<platform::Colour> brushes, textColours, textBackgrounds;
    std::vector<platform::FontSpec> fonts;
    std::vector<std::string> fontFaces; // the face texts, copied
    struct Text {
        std::string text;
        platform::Rect rect;
        platform::TextAlign align;
        bool opaque;
    };
    std::vector<Text> texts;
    int drawCalls = 0;

    void setPen(platform::Colour c, platform::PenStyle s) override { pens.push_back({c, s}); }
    bool setBrush(platform::Colour c) override {
        brushes.push_back(c);
        return true;
    }
    void setTextColour(platform::Colour c) override { textColours.push_back(c); }
    void setTextBackground(platform::Colour c) override { textBackgrounds.push_back(c); }
    void setFont(const platform::FontSpec& f) override {
        fonts.push_back(f);
        fontFaces.push_back(f.face);
    }
    void moveTo(platform::Point) override { ++drawCalls; }
    void lineTo(platform::Point) override { ++drawCalls; }
    void frameRect(const platform::Rect&) override { ++drawCalls; }
    void fillRect(const platform::Rect&) override { ++drawCalls; }
    void drawText(const char* t, const platform::Rect& r, platform::TextAlign a, bool o) override {
        texts.push_back({t, r, a, o});
    }
    void copyImage(const platform::Image&, const platform::Rect&, platform::Point) override {
        ++drawCalls;
    }
    void copyImageKeyed(const platform::Image&, const platform::Rect&, platform::Point,
                        platform::Colour) override {
        ++drawCalls;
    }
};

struct NoEvents : platform::WindowEvents {
    void onPaint(platform::Device&, const platform::Rect&) override {}
    void onButtonDown(platform::Point, int32_t) override {}
    bool onDrop(void**, int32_t, int32_t, platform::Point) override { return false; }
};

class DrawContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        setMouseButtonsSwapped(false);
    }
    void TearDown() override { setMouseButtonsSwapped(false); }
};

} // namespace

TEST(CColorValue, PlatformValueIsRedPlus256GreenPlus65536Blue) {
    EXPECT_EQ((CColor{1, 2, 3, 99}.platformValue()), 1u + 256u * 2u + 65536u * 3u);
    EXPECT_TRUE((CColor{1, 2, 3, 0}.sameRgb(CColor{1, 2, 3, 7})));
    EXPECT_FALSE((CColor{1, 2, 3, 0} == CColor{1, 2, 3, 7}));
}

TEST_F(DrawContextTest, ConstructionSelectsWhitePenBlackBrushAndWhiteText) {
    RecordingDevice device;
    CDrawContext context(nullptr, &device, nullptr);
    ASSERT_FALSE(device.pens.empty());
    EXPECT_EQ(device.pens.back().colour, 0xFFFFFFu);
    EXPECT_EQ(device.pens.back().style, platform::PenStyle::kSolid);
    ASSERT_EQ(device.brushes.size(), 1u);
    EXPECT_EQ(device.brushes.back(), 0u);
    EXPECT_EQ(device.textBackgrounds.back(), 0u);
    EXPECT_EQ(device.textColours.back(), 0xFFFFFFu);
    EXPECT_TRUE(device.fonts.empty());
    EXPECT_EQ(context.getFrameColor(), kWhiteColor);
    EXPECT_EQ(context.getFillColor(), kBlackColor);
    EXPECT_EQ(context.getFontColor(), kWhiteColor);
    EXPECT_EQ(context.getLineStyle(), kLineSolid);
    EXPECT_EQ(context.getLineWidth(), 1);
    EXPECT_EQ(context.getWindowOrigin(), CPoint(0, 0));
}

TEST_F(DrawContextTest, PensBrushesAndFontsAreBuiltWhenSetNeverWhenDrawing) {
    RecordingDevice device;
    CDrawContext context(nullptr, &device, nullptr);
    context.setFont(kFontArial12);
    const size_t pens = device.pens.size(), brushes = device.brushes.size(), fonts = 1;
    for (int i = 0; i < 5; ++i) {
        context.drawRect(CRect(0, 0, 5, 5));
        context.fillRect(CRect(0, 0, 5, 5));
        context.moveTo(CPoint(0, 0));
        context.lineTo(CPoint(3, 3));
        context.drawString("x", CRect(0, 0, 20, 10));
    }
    EXPECT_EQ(device.pens.size(), pens);
    EXPECT_EQ(device.brushes.size(), brushes);
    EXPECT_EQ(device.fonts.size(), fonts);
    EXPECT_EQ(device.drawCalls, 20);
}

TEST_F(DrawContextTest, LineStyleAndFrameColourBuildTheMatchingPen) {
    RecordingDevice device;
    CDrawContext context(nullptr, &device, nullptr);
    context.setLineStyle(kLineOnOffDash);
    EXPECT_EQ(device.pens.back().style, platform::PenStyle::kDotted);
    context.setFrameColor(CColor{10, 20, 30, 0});
    EXPECT_EQ(device.pens.back().style, platform::PenStyle::kDotted);
    EXPECT_EQ(device.pens.back().colour, 0x1E140Au);
    context.setLineStyle(5); // anything but the dotted style is solid
    EXPECT_EQ(device.pens.back().style, platform::PenStyle::kSolid);
    context.setFillColor(CColor{1, 2, 3, 0});
    EXPECT_EQ(device.brushes.back(), 0x030201u);
    EXPECT_EQ(device.textBackgrounds.back(), 0x030201u);
    context.setFontColor(CColor{0, 0, 255, 0});
    EXPECT_EQ(device.textColours.back(), 0xFF0000u);
}

TEST_F(DrawContextTest, SetFontFollowsTheFontTable) {
    RecordingDevice device;
    CDrawContext context(nullptr, &device, nullptr);
    struct Case {
        int32_t id, face, wantId, size, weight, family;
        const char* faceName;
    } cases[] = {
        {9, 0, 0, 12, 700, 34, "Arial"}, {-1, 0, 0, 12, 700, 34, "Arial"},
        {0, 0, 0, 12, 700, 34, "Arial"}, {1, 0, 1, 18, 400, 34, "Arial"},
        {2, 0, 2, 14, 400, 34, "Arial"}, {3, kBoldFace, 3, 12, 700, 34, "Arial"},
        {4, 0, 4, 11, 400, 34, "Arial"}, {5, 0, 5, 10, 400, 34, "Arial"},
        {6, 0, 6, 9, 400, 34, "Arial"},  {7, kBoldFace, 7, 13, 700, 80, "Symbol"},
        {8, 0, 0, 12, 700, 34, "Arial"},
    };
    for (const Case& c : cases) {
        context.setFont(c.id, c.face);
        EXPECT_EQ(context.getFont(), c.wantId) << c.id;
        EXPECT_EQ(context.getFontSize(), c.size) << c.id;
        EXPECT_EQ(device.fonts.back().height, c.size) << c.id;
        EXPECT_EQ(device.fonts.back().weight, c.weight) << c.id;
        EXPECT_EQ(device.fonts.back().pitchAndFamily, c.family) << c.id;
        EXPECT_EQ(device.fontFaces.back(), c.faceName) << c.id;
        EXPECT_FALSE(device.fonts.back().italic);
        EXPECT_FALSE(device.fonts.back().underline);
    }
    context.setFont(kFontArial10, kItalicFace | kUnderlineFace);
    EXPECT_TRUE(device.fonts.back().italic);
    EXPECT_TRUE(device.fonts.back().underline);
    EXPECT_EQ(device.fonts.back().weight, 400);
}

TEST_F(DrawContextTest, DrawStringAlignmentAndTheLeftEdgeMove) {
    RecordingDevice device;
    CDrawContext context(nullptr, &device, nullptr);
    const CRect r(10, 20, 60, 35);
    context.drawString("a", r, false, kLeftText);
    context.drawString("b", r, true, kCenterText);
    context.drawString("c", r, false, kRightText);
    context.drawString("d", r, false, 7);
    context.drawString(nullptr, r);
    ASSERT_EQ(device.texts.size(), 4u);
    EXPECT_EQ(device.texts[0].rect.left, 11);
    EXPECT_EQ(device.texts[0].align, platform::TextAlign::kLeft);
    EXPECT_FALSE(device.texts[0].opaque);
    EXPECT_EQ(device.texts[1].rect.left, 10);
    EXPECT_EQ(device.texts[1].align, platform::TextAlign::kCenter);
    EXPECT_TRUE(device.texts[1].opaque);
    EXPECT_EQ(device.texts[2].rect.left, 10);
    EXPECT_EQ(device.texts[2].rect.right, 60);
    EXPECT_EQ(device.texts[2].align, platform::TextAlign::kRight);
    EXPECT_EQ(device.texts[3].rect.left, 11);
    EXPECT_EQ(device.texts[3].align, platform::TextAlign::kLeft);
    EXPECT_EQ(device.texts[3].rect.top, 20);
    EXPECT_EQ(device.texts[3].rect.bottom, 35);
}

TEST_F(DrawContextTest, WithoutADeviceEverythingIsANoOp) {
    CDrawContext context(nullptr, nullptr, nullptr);
    context.setFrameColor(kRedColor);
    context.setFillColor(kRedColor);
    context.setFont(3);
    context.drawRect(CRect(0, 0, 5, 5));
    context.fillRect(CRect(0, 0, 5, 5));
    context.lineTo(CPoint(3, 3));
    context.drawString("x", CRect(0, 0, 5, 5));
    EXPECT_EQ(context.getFrameColor(), kRedColor);
    EXPECT_EQ(context.getFontSize(), 12);
}

TEST_F(DrawContextTest, OutlineAndFillOnAWindow) {
    NoEvents events;
    auto window = platform::createChildWindow(nullptr, 20, 10, &events);
    ASSERT_TRUE(window);
    auto device = window->openDevice();
    const PixelBuffer& pixels = *headless::pixelsOf(device.get());
    {
        CDrawContext context(nullptr, device.get(), window.get());
        context.setFillColor(kRedColor);
        context.fillRect(CRect(0, 0, 10, 5));
        context.drawRect(CRect(0, 0, 10, 5));
    }
    EXPECT_EQ(count(pixels, rgb(255, 0, 0)), 9 * 4);
    EXPECT_EQ(count(pixels, rgb(255, 255, 255)), 30);
    EXPECT_EQ(&pixels, &static_cast<headless::HeadlessWindow*>(window.get())->pixels());
}

TEST_F(DrawContextTest, MouseLocationIsRelativeToTheWindowOriginTakenAtConstruction) {
    NoEvents events;
    auto window = platform::createChildWindow(nullptr, 20, 10, &events);
    auto* headlessWindow = headless::lastWindow();
    ASSERT_EQ(headlessWindow, window.get());
    headlessWindow->setScreenOrigin({300, 200});
    CDrawContext context(nullptr, nullptr, window.get());
    EXPECT_EQ(context.getWindowOrigin(), CPoint(300, 200));
    headless::setPointer({305, 190});
    CPoint where;
    context.getMouseLocation(where);
    EXPECT_EQ(where, CPoint(5, -10));
    headlessWindow->setScreenOrigin({0, 0}); // taken once: moving the window later is not seen
    context.getMouseLocation(where);
    EXPECT_EQ(where, CPoint(5, -10));
}

TEST_F(DrawContextTest, MouseButtonsMapPhysicalButtonsAndModifiers) {
    headless::setButtons(headless::kLeft);
    EXPECT_EQ(getMouseButtons(), kLButton);
    headless::setButtons(headless::kRight | headless::kMiddle);
    EXPECT_EQ(getMouseButtons(), kRButton | kMButton);
    headless::setButtons(headless::kLeft | headless::kShiftKey | headless::kControlKey |
                         headless::kAltKey);
    EXPECT_EQ(getMouseButtons(), kLButton | kShift | kControl | kAlt);
    headless::setButtons(0);
    EXPECT_EQ(getMouseButtons(), 0);
}

TEST_F(DrawContextTest, SwappedButtonsExchangeLeftAndRight) {
    headless::setSwapped(true);
    setMouseButtonsSwapped(platform::buttonsSwapped());
    headless::setButtons(headless::kLeft);
    EXPECT_EQ(getMouseButtons(), kRButton);
    headless::setButtons(headless::kRight | headless::kControlKey);
    EXPECT_EQ(getMouseButtons(), kLButton | kControl);
    headless::setButtons(headless::kMiddle);
    EXPECT_EQ(getMouseButtons(), kMButton);
}

TEST_F(DrawContextTest, OffscreenStartsInTheBackgroundColourEverywhere) {
    const CColor back{12, 34, 56, 0};
    COffscreenContext offscreen(nullptr, 7, 4, back);
    ASSERT_NE(offscreen.getImage(), nullptr);
    const PixelBuffer& pixels = *headless::pixelsOf(offscreen.getImage());
    EXPECT_EQ(pixels.width(), 7);
    EXPECT_EQ(pixels.height(), 4);
    EXPECT_EQ(count(pixels, rgb(12, 34, 56)), 7 * 4);
    EXPECT_EQ(offscreen.getFillColor(), back);
    EXPECT_EQ(offscreen.getFrameColor(), back);
    EXPECT_EQ(offscreen.getWidth(), 7);
}

TEST_F(DrawContextTest, OffscreenCopyPlacesItsTopLeftAtTheRectangle) {
    COffscreenContext offscreen(nullptr, 6, 5, kBlackColor);
    offscreen.setFrameColor(kRedColor);
    offscreen.moveTo(CPoint(0, 0));
    offscreen.lineTo(CPoint(6, 0)); // top row red
    PixelBuffer target(20, 20, rgb(1, 1, 1));
    raster::RasterDevice device(target);
    CDrawContext window(nullptr, &device, nullptr);
    offscreen.copyFrom(&window, CRect(10, 12, 14, 15)); // 4 x 3 of the 6 x 5
    EXPECT_EQ(count(target, rgb(255, 0, 0)), 4);
    EXPECT_EQ(count(target, rgb(0, 0, 0)), 4 * 2);
    EXPECT_EQ(target.at(10, 12), rgb(255, 0, 0));
    EXPECT_EQ(target.at(13, 12), rgb(255, 0, 0));
    EXPECT_EQ(target.at(14, 12), rgb(1, 1, 1));
    EXPECT_EQ(target.at(10, 14), rgb(0, 0, 0));
    EXPECT_EQ(target.at(10, 15), rgb(1, 1, 1));
    offscreen.copyFrom(&window, CRect(17, 18, 30, 30)); // clipped by both surfaces
    EXPECT_EQ(count(target, rgb(255, 0, 0)), 4 + 3);
    EXPECT_EQ(count(target, rgb(0, 0, 0)), 4 * 2 + 3);
}

TEST_F(DrawContextTest, OffscreenOfNoSizeDrawsAndCopiesNothing) {
    COffscreenContext offscreen(nullptr, 0, 5, kRedColor);
    EXPECT_EQ(offscreen.getImage(), nullptr);
    offscreen.fillRect(CRect(0, 0, 5, 5));
    PixelBuffer target(4, 4, 0);
    raster::RasterDevice device(target);
    CDrawContext window(nullptr, &device, nullptr);
    offscreen.copyFrom(&window, CRect(0, 0, 4, 4));
    EXPECT_EQ(count(target, 0), 16);
}
