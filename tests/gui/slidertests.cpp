// The slider: handle placement, click, drags, fine drags, default gesture, keys and wheel.

#include "guitest.h"

#include "gui/cverticalslider.h"

namespace {

// A 16 x 70 slider at (100, 20) whose track bitmap has one colour per row (row y: green y), a
// 14 x 12 handle whose first column is white, handle offset (1, 3), travel 25 .. 75 (R = 50,
// minTmp 8, maxTmp 70) and background offset (0, 30).
class Slider : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        raster::PixelBuffer track(16, 200);
        for (int32_t y = 0; y < 200; y++)
            for (int32_t x = 0; x < 16; x++)
                track.set(x, y, row(y));
        headless::registerBitmap(930, track);
        raster::PixelBuffer knob(14, 12, kHandle);
        for (int32_t y = 0; y < 12; y++)
            knob.set(0, y, kWhite);
        headless::registerBitmap(931, knob);
        CBitmap* background = new CBitmap(930);
        CBitmap* handle = new CBitmap(931);
        slider = new CVerticalSlider(CRect(100, 20, 116, 90), editor, 4, 25, 75, handle, background,
                                     CPoint(0, 30));
        slider->setOffsetHandle(CPoint(1, 3));
        background->forget();
        handle->forget();
        frame->addView(slider);
        editor->idle(); // drawn once: clean
        host.calls.clear();
    }
    static uint32_t row(int32_t y) { return raster::rgb(0, y, 100); }
    // Rows of the window covered by the handle's red in its column 6.
    std::pair<int32_t, int32_t> handleRows() const { return rowsOf(106, 0, 202, kHandle); }
    void drawAt(float value) {
        slider->setValue(value);
        frame->draw(slider);
    }
    std::vector<float> values() const { return editor->changes; }

    CVerticalSlider* slider = nullptr;
};

} // namespace

TEST_F(Slider, HandleFollowsTheValueWithinTheTravel) {
    drawAt(1.0f);
    EXPECT_EQ(handleRows(), (std::pair{28, 40})); // top limited to minTmp, not ov
    drawAt(0.5f);
    EXPECT_EQ(handleRows(), (std::pair{48, 60}));
    drawAt(0.0f);
    EXPECT_EQ(handleRows(), (std::pair{73, 85}));
    drawAt(1.5f);
    EXPECT_EQ(handleRows(), (std::pair{28, 40}));
    drawAt(-0.2f);
    EXPECT_EQ(handleRows(), (std::pair{83, 90})); // bottom limited to maxTmp
}

TEST_F(Slider, TrackComesFromTheBackgroundOffsetAndTheHandleIsKeyed) {
    drawAt(0.5f);
    EXPECT_EQ(pixel(100, 20), row(30));
    EXPECT_EQ(pixel(115, 89), row(99));
    EXPECT_EQ(pixel(114, 50), kHandle);
    EXPECT_EQ(pixel(101, 50), row(60)); // the handle's white column lets the track through
    EXPECT_EQ(pixel(99, 50), 0u);       // nothing outside the slider
    EXPECT_EQ(pixel(116, 50), 0u);

    slider->setDrawTransparentHandle(false);
    drawAt(0.5f);
    EXPECT_EQ(pixel(101, 50), kWhite);
}

TEST_F(Slider, ClickMovesTheHandleUnderThePointer) {
    // delta = top 20 + ov 3 + 12 / 2 - 1 = 28: a click at 28 + k gives 1 - k / 50
    click(108, 53, kLButton, {{kLButton, screen(108, 53)}, {0, screen(108, 53)}});
    EXPECT_EQ(values(), (std::vector<float>{0.5f}));
    EXPECT_EQ(slider->getValue(), 0.5f);
    EXPECT_EQ(frame->getFocusView(), slider);
    EXPECT_EQ(effect->params[4], 0.5f);

    click(108, 38, kLButton, {{kLButton, screen(108, 38)}, {0, screen(108, 38)}});
    EXPECT_FLOAT_EQ(slider->getValue(), 0.8f);

    click(108, 89, kLButton, {{kLButton, screen(108, 89)}, {0, screen(108, 89)}});
    EXPECT_EQ(slider->getValue(), 0.0f); // below the travel: bounced to the minimum
    editor->idle();
    EXPECT_EQ(handleRows(), (std::pair{73, 85}));
}

TEST_F(Slider, DragFollowsThePointerPassByPass) {
    // each step: the buttons of one pass and the pointer the next pass uses
    click(108, 53, kLButton,
          {{kLButton, screen(108, 43)},
           {kLButton, screen(108, 33)},
           {kLButton, screen(108, 3)},
           {kLButton, screen(108, 3)},
           {0, screen(108, 3)}});
    ASSERT_EQ(values().size(), 4u);
    EXPECT_EQ(values()[0], 0.5f);
    EXPECT_FLOAT_EQ(values()[1], 0.7f);
    EXPECT_FLOAT_EQ(values()[2], 0.9f);
    EXPECT_EQ(values()[3], 1.0f); // above the travel: bounced to the maximum
    EXPECT_EQ(host.only(audioMasterBeginEdit), (std::vector<HostCall>{{43, 4, 0.0f}}));
    EXPECT_EQ(host.only(audioMasterEndEdit), (std::vector<HostCall>{{44, 4, 0.0f}}));
}

TEST_F(Slider, ShiftPressedDuringADragMovesTenTimesSlower) {
    click(108, 53, kLButton,
          {{kLButton, screen(108, 43)},
           {kLButton | kShift, screen(108, 33)},
           {kLButton | kShift, screen(108, 33)},
           {kLButton, screen(108, 33)},
           {0, screen(108, 33)}});
    ASSERT_EQ(values().size(), 4u);
    EXPECT_EQ(values()[0], 0.5f);
    EXPECT_FLOAT_EQ(values()[1], 0.52f); // anchored at 0.5: a move worth 0.2 gives 0.02
    EXPECT_FLOAT_EQ(values()[2], 0.54f);
    EXPECT_FLOAT_EQ(values()[3], 0.9f); // Shift released: back under the pointer
}

TEST_F(Slider, DragBegunWithShiftScalesFromTheStartValue) {
    slider->setValue(0.3f);
    editor->idle();
    click(108, 53, kLButton | kShift,
          {{kLButton | kShift, screen(108, 43)},
           {kLButton | kShift, screen(108, 43)},
           {0, screen(108, 43)}});
    ASSERT_GE(values().size(), 2u);
    EXPECT_FLOAT_EQ(values()[0], 0.32f);
    EXPECT_FLOAT_EQ(values()[1], 0.34f);
}

TEST_F(Slider, ControlClickRestoresTheDefaultWithoutAnEditBracket) {
    slider->setValue(0.9f);
    slider->setDefaultValue(0.25f);
    editor->idle();
    click(108, 53, kLButton | kControl, {});
    EXPECT_EQ(values(), (std::vector<float>{0.25f}));
    EXPECT_EQ(host.calls, (std::vector<HostCall>{{audioMasterAutomate, 4, 0.25f}}));

    // the default again: no change, no notification
    editor->idle();
    editor->changes.clear();
    click(108, 53, kLButton | kControl, {});
    EXPECT_TRUE(values().empty());
}

TEST_F(Slider, ControlShiftClickIsAnOrdinaryShiftDrag) {
    slider->setValue(0.3f);
    editor->idle();
    click(108, 53, kLButton | kShift | kControl,
          {{kLButton | kShift | kControl, screen(108, 53)}, {0, screen(108, 53)}});
    EXPECT_EQ(host.only(audioMasterBeginEdit).size(), 1u);
    EXPECT_EQ(host.only(audioMasterEndEdit).size(), 1u);
    ASSERT_EQ(values().size(), 1u);
    EXPECT_FLOAT_EQ(values()[0], 0.32f);
}

TEST_F(Slider, WithoutFreeClickOnlyTheHandleStartsADragAndKeepsItsGrip) {
    slider->setFreeClick(false);
    slider->setValue(0.5f); // handle at window rows 48 .. 60, columns 101 .. 115
    editor->idle();
    click(108, 70, kLButton, {});
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(slider->getValue(), 0.5f);

    // grabbed 2 rows below its top and moved up 10 rows: +0.2
    click(108, 50, kLButton,
          {{kLButton, screen(108, 40)}, {kLButton, screen(108, 40)}, {0, screen(108, 40)}});
    EXPECT_FLOAT_EQ(slider->getValue(), 0.7f);
    EXPECT_EQ(host.only(audioMasterBeginEdit).size(), 1u);
}

TEST_F(Slider, ArrowKeysStepByTheWheelIncrement) {
    slider->setValue(0.5f);
    VstKeyCode up{0, VKEY_UP, 0};
    VstKeyCode down{0, VKEY_DOWN, 0};
    VstKeyCode fineRight{0, VKEY_RIGHT, MODIFIER_SHIFT};
    VstKeyCode other{'a', 0, 0};
    EXPECT_EQ(editor->onKeyDown(up), 1);
    EXPECT_EQ(slider->getValue(), 0.5f + 0.1f);
    EXPECT_EQ(editor->onKeyDown(down), 1);
    EXPECT_EQ(editor->onKeyDown(fineRight), 1);
    EXPECT_EQ(slider->getValue(), 0.5f + 0.1f - 0.1f + 0.1f * 0.1f);
    EXPECT_EQ(editor->onKeyDown(other), -1);
    slider->setValue(1.0f);
    EXPECT_EQ(editor->onKeyDown(up), 1);
    EXPECT_EQ(slider->getValue(), 1.0f);
    EXPECT_TRUE(host.only(audioMasterBeginEdit).empty());
    EXPECT_EQ(host.only(audioMasterAutomate).size(), 4u);
}

TEST_F(Slider, WheelStepsWhereThePointerIs) {
    slider->setValue(0.5f);
    headless::setPointer(screen(105, 30));
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_EQ(slider->getValue(), 0.5f + 0.1f);
    headless::setButtons(headless::kShiftKey);
    EXPECT_TRUE(editor->onWheel(-1.0f));
    EXPECT_EQ(slider->getValue(), 0.5f + 0.1f + -1.0f * 0.1f * 0.1f);
    slider->setMouseEnabled(false);
    EXPECT_FALSE(editor->onWheel(1.0f));
}

TEST_F(Slider, DragSendsBeginAutomationPacedIdleAndEnd) {
    // 30 passes, each a row further down; the pump does its full work on passes 1, 14 and 27
    std::vector<headless::InputStep> steps;
    for (int32_t i = 1; i <= 30; i++)
        steps.push_back({kLButton, screen(108, 30 + i)});
    steps.push_back({0, screen(108, 60)});
    click(108, 30, kLButton, steps);

    std::vector<HostCall> expected{{audioMasterBeginEdit, 4, 0.0f}};
    for (int32_t pass = 1; pass <= 30; pass++) {
        float value = 1.0f - static_cast<float>(30 + pass - 1 - 28) / 50.0f;
        expected.push_back({audioMasterAutomate, 4, value});
        if (pass == 1 || pass == 14 || pass == 27) expected.push_back({audioMasterIdle, 0, 0.0f});
    }
    expected.push_back({audioMasterEndEdit, 4, 0.0f});
    EXPECT_EQ(host.calls, expected);
    EXPECT_EQ(headless::sleepCalls(), 29u);
    EXPECT_EQ(headless::ticks(), 116u);
}
