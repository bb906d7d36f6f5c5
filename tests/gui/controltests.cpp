// The vertical switch, the parameter display and the VU meter.

#include "guitest.h"

#include "gui/cparamdisplay.h"
#include "gui/cverticalswitch.h"
#include "gui/cvumeter.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

inline constexpr uint32_t kImage0 = raster::rgb(10, 0, 0);
inline constexpr uint32_t kImage1 = raster::rgb(20, 0, 0);
inline constexpr uint32_t kImage2 = raster::rgb(30, 0, 0);

// A 3-position switch with 45-pixel images at (200, 20) and a 2-position one with 28-pixel
// images at (250, 20).
class Switch : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        raster::PixelBuffer images(31, 135);
        for (int32_t y = 0; y < 135; y++)
            for (int32_t x = 0; x < 31; x++)
                images.set(x, y, y < 45 ? kImage0 : y < 90 ? kImage1 : kImage2);
        headless::registerBitmap(940, images);
        CBitmap* lamps = new CBitmap(940);
        three =
            new CVerticalSwitch(CRect(200, 20, 231, 65), editor, 5, 3, 45, 3, lamps, CPoint(0, 0));
        two =
            new CVerticalSwitch(CRect(250, 20, 281, 48), editor, 6, 2, 28, 2, lamps, CPoint(0, 0));
        lamps->forget();
        frame->addView(three);
        frame->addView(two);
        editor->idle();
        host.calls.clear();
    }
    // A click at row dy of the switch at x, released after the first pass.
    float clickAt(CVerticalSwitch* control, int32_t x, int32_t dy) {
        click(x, 20 + dy, kLButton, {{0, screen(x, 20 + dy)}});
        return control->getValue();
    }
    CVerticalSwitch* three = nullptr;
    CVerticalSwitch* two = nullptr;
};

} // namespace

TEST_F(Switch, DrawsTheImageOfItsPosition) {
    EXPECT_EQ(pixel(210, 30), kImage0);
    three->setValue(0.5f);
    editor->idle();
    EXPECT_EQ(pixel(200, 20), kImage1);
    EXPECT_EQ(pixel(230, 64), kImage1);
    EXPECT_EQ(pixel(231, 64), 0u);
    three->setValue(1.0f);
    editor->idle();
    EXPECT_EQ(pixel(210, 30), kImage2);
    three->setValue(0.74f); // 2 * 0.74 + 0.5 = 1.98: still the middle image
    editor->idle();
    EXPECT_EQ(pixel(210, 30), kImage1);
}

TEST_F(Switch, ThreePositionsSplitTheHeightIntoFifteenPixelZones) {
    EXPECT_EQ(clickAt(three, 210, 0), 0.0f);
    EXPECT_EQ(clickAt(three, 210, 14), 0.0f);
    EXPECT_EQ(clickAt(three, 210, 15), 0.5f);
    EXPECT_EQ(clickAt(three, 210, 29), 0.5f);
    EXPECT_EQ(clickAt(three, 210, 30), 1.0f);
    EXPECT_EQ(clickAt(three, 210, 44), 1.0f);
    EXPECT_EQ(host.only(audioMasterBeginEdit).size(), 6u);
    EXPECT_EQ(host.only(audioMasterEndEdit).size(), 6u);
    EXPECT_EQ(host.calls.front(), (HostCall{audioMasterBeginEdit, 5, 0.0f}));
}

TEST_F(Switch, TwoPositionsSplitTheHeightIntoFourteenPixelZones) {
    EXPECT_EQ(clickAt(two, 260, 0), 0.0f);
    EXPECT_EQ(clickAt(two, 260, 13), 0.0f);
    EXPECT_EQ(clickAt(two, 260, 14), 1.0f);
    EXPECT_EQ(clickAt(two, 260, 27), 1.0f);
}

TEST_F(Switch, DragAboveTheSwitchGivesZeroAndBelowItOne) {
    // the pointer read after a pass is the one the following pass uses
    click(210, 40, kLButton,
          {{kLButton, screen(210, 5)},
           {kLButton, screen(210, 5)},
           {kLButton, screen(210, 90)},
           {kLButton, screen(210, 90)},
           {0, screen(210, 90)}});
    std::vector<float> values = editor->changes;
    values.erase(std::unique(values.begin(), values.end()), values.end());
    EXPECT_EQ(values, (std::vector<float>{0.5f, 0.0f, 1.0f}));
}

TEST_F(Switch, DragEndsWhenAModifierChanges) {
    click(210, 40, kLButton, {{kLButton | kShift, screen(210, 60)}});
    EXPECT_EQ(three->getValue(), 0.5f);
    EXPECT_EQ(host.calls, (std::vector<HostCall>{{audioMasterBeginEdit, 5, 0.0f},
                                                 {audioMasterAutomate, 5, 0.5f},
                                                 {audioMasterIdle, 0, 0.0f},
                                                 {audioMasterEndEdit, 5, 0.0f}}));
}

TEST_F(Switch, ControlClickSetsTheDefaultZero) {
    three->setValue(1.0f);
    editor->idle();
    click(210, 40, kLButton | kControl, {});
    EXPECT_EQ(three->getValue(), 0.0f);
    EXPECT_EQ(host.calls, (std::vector<HostCall>{{audioMasterAutomate, 5, 0.0f}}));
}

namespace {

inline constexpr CColor kBlue{0, 0, 255, 0};
inline constexpr CColor kGreen{0, 255, 0, 0};
inline constexpr uint32_t kBluePixel = raster::rgb(0, 0, 255);
inline constexpr uint32_t kGreenPixel = raster::rgb(0, 255, 0);

// A 50 x 20 display at (400, 20).
class Display : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        display = new CParamDisplay(CRect(400, 20, 450, 40));
        frame->addView(display);
        editor->idle();
    }
    // The pixels of the display after drawing it now.
    std::vector<uint32_t> picture() {
        frame->draw(display);
        std::vector<uint32_t> out;
        for (int32_t y = 18; y <= 42; y++)
            for (int32_t x = 390; x <= 460; x++)
                out.push_back(pixel(x, y));
        return out;
    }
    // The picture of the display showing text, through a converter.
    std::vector<uint32_t> pictureOf(const char* text) {
        shown = text;
        display->setStringConvert(
            [](float, char* out, void* data) {
                std::strcpy(out, static_cast<std::string*>(data)->c_str());
            },
            &shown);
        std::vector<uint32_t> out = picture();
        display->setStringConvert(nullptr, nullptr);
        return out;
    }
    CParamDisplay* display = nullptr;
    std::string shown;
};

} // namespace

TEST_F(Display, ShowsTheValueWithTwoDecimalsWithoutAConverter) {
    display->setValue(0.5f);
    std::vector<uint32_t> plain = picture();
    EXPECT_EQ(plain, pictureOf("0.50"));
    EXPECT_NE(plain, pictureOf("0.51"));
    display->setValue(12.345f);
    EXPECT_EQ(picture(), pictureOf("12.35"));
}

TEST_F(Display, ConverterWithUserDataIsPreferred) {
    std::vector<uint32_t> dash = pictureOf("-");
    display->setStringConvert([](float, char* out) { std::strcpy(out, "plain"); });
    EXPECT_EQ(pictureOf("-"), dash); // both set: the one with user data wins
    EXPECT_NE(picture(), dash);      // the plain one alone
}

TEST_F(Display, TextLongerThanTheBufferIsCut) {
    // right-aligned, so the end of the text is what shows
    display->setHoriAlign(kRightText);
    std::string text(250, 'a');
    for (int i = 0; i < 5; i++)
        text += "0123456789";
    ASSERT_EQ(text.size(), 300u);
    std::vector<uint32_t> cut = pictureOf(text.substr(0, 255).c_str());
    EXPECT_EQ(pictureOf(text.c_str()), cut);
    EXPECT_NE(pictureOf(text.substr(0, 254).c_str()), cut);
}

TEST_F(Display, PlainBackgroundHasAnOutlineInTheFrameColour) {
    display->setBackColor(kBlue);
    display->setFrameColor(kGreen);
    display->setStyle(kNoTextStyle);
    picture();
    EXPECT_EQ(pixel(400, 20), kGreenPixel);
    EXPECT_EQ(pixel(450, 40), kGreenPixel);
    EXPECT_EQ(pixel(425, 30), kBluePixel);
    EXPECT_EQ(pixel(401, 39), kBluePixel);
}

TEST_F(Display, BevelsColourTopLeftAndBottomRightApart) {
    window->pixels().fill(0);
    display->setBackColor(kBlue);
    display->setFrameColor(kGreen);
    display->setStyle(k3DIn | kNoTextStyle);
    picture();
    // inset: back colour on top and left, frame colour on right and bottom, no outline
    EXPECT_EQ(pixel(400, 20), kBluePixel);
    EXPECT_EQ(pixel(425, 20), kBluePixel);
    EXPECT_EQ(pixel(450, 20), kBluePixel);
    EXPECT_EQ(pixel(400, 30), kBluePixel);
    EXPECT_EQ(pixel(400, 40), kBluePixel);
    EXPECT_EQ(pixel(450, 30), kGreenPixel);
    EXPECT_EQ(pixel(450, 40), kGreenPixel);
    EXPECT_EQ(pixel(425, 40), kGreenPixel);
    EXPECT_EQ(pixel(425, 30), kBluePixel);
    EXPECT_EQ(pixel(451, 20), 0u);

    display->setStyle(k3DOut | kNoTextStyle);
    picture();
    EXPECT_EQ(pixel(425, 20), kGreenPixel);
    EXPECT_EQ(pixel(400, 30), kGreenPixel);
    EXPECT_EQ(pixel(450, 30), kBluePixel);
    EXPECT_EQ(pixel(425, 40), kBluePixel);
}

TEST_F(Display, ShadowIsDrawnOnePixelRightAndDown) {
    display->setStringConvert([](float, char* out) { std::strcpy(out, "88"); });
    display->setShadowColor(kGreen);
    display->setStyle(kShadowText);
    // white text over black is grey wherever it lands; the green shadow tints some pixels
    auto tinted = [](const std::vector<uint32_t>& p) {
        return std::count_if(p.begin(), p.end(),
                             [](uint32_t c) { return raster::greenOf(c) > raster::redOf(c); });
    };
    EXPECT_GT(tinted(picture()), 0);
    display->setStyle(0);
    EXPECT_EQ(tinted(picture()), 0);
}

TEST_F(Display, NoDrawStyleDrawsNothing) {
    window->pixels().fill(0);
    display->setStyle(kNoDrawStyle);
    std::vector<uint32_t> picture1 = picture();
    EXPECT_EQ(std::count(picture1.begin(), picture1.end(), 0u), static_cast<long>(picture1.size()));
}

TEST_F(Display, OnlyVisibleChangesMarkItDirty) {
    EXPECT_FALSE(display->isDirty());
    display->setFontColor(CColor{255, 255, 255, 99}); // only the fourth byte differs
    display->setBackColor(kBlackColor);
    display->setFont(3);
    display->setStyle(0);
    display->setTxtFace(0);
    display->setHoriAlign(kCenterText);
    EXPECT_FALSE(display->isDirty());
    display->setFont(4);
    EXPECT_TRUE(display->isDirty());
}

TEST_F(Display, ClicksOnADisplayAreTakenWithoutEffect) {
    CBitmap* lamps = bitmap(941, 31, 135, kImage0);
    auto* below =
        new CVerticalSwitch(CRect(400, 20, 431, 65), editor, 7, 3, 45, 3, lamps, CPoint(0, 0));
    lamps->forget();
    frame->removeView(display, false);
    frame->addView(below);
    frame->addView(display);
    host.calls.clear();
    window->press({410, 25});
    EXPECT_TRUE(host.calls.empty());
}

namespace {

// A horizontal 40-LED meter over 604 pixels at (10, 100).
class Meter : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        CBitmap* on = bitmap(950, 604, 27, kOn);
        CBitmap* off = bitmap(951, 604, 27, kOff);
        meter = new CVuMeter(CRect(10, 100, 614, 127), on, off, 40, kHorizontal);
        on->forget();
        off->forget();
        frame->addView(meter);
        // a new meter falls from full to its value 0 first
        while (frame->isSomethingDirty())
            editor->idle();
    }
    // Width of the lit part on row 110.
    int32_t lit() const {
        int32_t width = 0;
        while (pixel(10 + width, 110) == kOn)
            width++;
        return width;
    }
    CVuMeter* meter = nullptr;
};

} // namespace

TEST_F(Meter, LightsWholeLedsFromTheLeft) {
    meter->setValue(0.5f);
    editor->idle();
    EXPECT_EQ(lit(), 302);
    EXPECT_EQ(pixel(312, 110), kOff);
    EXPECT_EQ(pixel(613, 126), kOff);
    EXPECT_EQ(pixel(614, 110), 0u);

    meter->setValue(1.0f);
    editor->idle();
    EXPECT_EQ(lit(), 604);
    meter->setValue(0.52f); // 20.8 LEDs round to 21
    meter->setOldValue(0.0f);
    editor->idle();
    EXPECT_EQ(lit(), 317);
    meter->setValue(7.0f); // bounced to the maximum
    editor->idle();
    EXPECT_EQ(lit(), 604);
    EXPECT_EQ(meter->getValue(), 1.0f);
}

TEST_F(Meter, FallsByTheDecreaseValuePerIdleAndIsCleanAfterTheTenthPass) {
    meter->setValue(1.0f);
    editor->idle();
    EXPECT_EQ(lit(), 604);
    meter->setValue(0.0f);
    const int32_t expected[10] = {543, 483, 422, 362, 302, 241, 181, 120, 60, 0};
    for (int32_t pass = 0; pass < 10; pass++) {
        EXPECT_TRUE(frame->isSomethingDirty()) << "pass " << pass + 1;
        editor->idle();
        EXPECT_EQ(lit(), expected[pass]) << "pass " << pass + 1;
    }
    EXPECT_FALSE(frame->isSomethingDirty());
    int32_t devices = window->devicesOpened();
    editor->idle();
    EXPECT_EQ(window->devicesOpened(), devices);
}

TEST_F(Meter, RiseIsShownAtOnce) {
    meter->setValue(0.1f);
    editor->idle();
    meter->setValue(0.9f);
    editor->idle();
    EXPECT_EQ(lit(), 543);
    EXPECT_FALSE(frame->isSomethingDirty());
}

TEST_F(Meter, VerticalMeterFillsFromTheBottom) {
    CBitmap* on = bitmap(952, 27, 56, kOn);
    CBitmap* off = bitmap(953, 27, 56, kOff);
    auto* vertical = new CVuMeter(CRect(700, 20, 727, 76), on, off, 40, 0);
    on->forget();
    off->forget();
    frame->addView(vertical);
    vertical->setOldValue(0.0f);
    vertical->setValue(0.5f);
    editor->idle();
    EXPECT_EQ(pixel(710, 20), kOff);
    EXPECT_EQ(pixel(710, 47), kOff);
    EXPECT_EQ(pixel(710, 48), kOn);
    EXPECT_EQ(pixel(726, 75), kOn);
}

TEST_F(Meter, WithoutAnOffBitmapOnlyTheLitPartIsDrawn) {
    CBitmap* on = bitmap(954, 604, 27, kOn);
    auto* bare = new CVuMeter(CRect(10, 150, 614, 177), on, nullptr, 40);
    on->forget();
    frame->addView(bare);
    bare->setOldValue(0.0f);
    bare->setValue(0.5f);
    editor->idle();
    EXPECT_EQ(pixel(311, 160), kOn);
    EXPECT_EQ(pixel(312, 160), 0u);
}
