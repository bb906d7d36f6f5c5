// What open builds: every control's class, tag, rectangle, bitmaps and settings, in the order of
// adding; the rect before opening; reopening; reference counts; the picture of a fresh panel.

#include "editortest.h"

#include <typeinfo>

namespace editortest {
namespace {

using Layout = EditorTest;

const CColor kPanelColour{232, 229, 224, 0};

CRect sizeOf(CView* view) {
    CRect r;
    return view->getViewSize(r);
}

TEST_F(Layout, RectIsKnownBeforeTheFirstOpen) {
    ERect* rect = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 202);
    EXPECT_EQ(rect->right, 900);
    EXPECT_EQ(editor()->getFrame(), nullptr);
    EXPECT_FALSE(editor()->isOpened());
}

TEST_F(Layout, EveryControlInTheOrderOfAdding) {
    set(0, 0.25f);
    set(5, 0.5f);
    set(6, 1.0f);
    set(7, 1.0f);
    openEditor();
    ASSERT_EQ(frame()->getNbViews(), kViewCount);
    EXPECT_EQ(frame()->getBackground()->getResourceId(), 128);
    EXPECT_EQ(sizeOf(frame()), CRect(0, 0, 900, 202));
    EXPECT_EQ(headless::lastWindow()->parent(), &parentWindow);

    // slider
    auto* slider = view<CVerticalSlider>(kSliderView);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(typeid(*slider), typeid(CVerticalSlider));
    EXPECT_EQ(slider->getTag(), 0);
    EXPECT_EQ(slider->getListener(), editor());
    EXPECT_EQ(sizeOf(slider), CRect(823, 105, 839, 175));
    EXPECT_EQ(slider->getBackground()->getResourceId(), 129);
    EXPECT_EQ(slider->getHandle()->getResourceId(), 130);
    EXPECT_EQ(field(slider, &SliderPeek::minPos), 0);       // travel from 105 ...
    EXPECT_EQ(field(slider, &SliderPeek::rangeHandle), 57); // ... to 162
    EXPECT_EQ(field(slider, &SliderPeek::offset), CPoint(0, 0));
    EXPECT_EQ(field(slider, &SliderPeek::style), kVertical | kBottom);
    EXPECT_EQ(field(slider, &SliderPeek::offsetHandle), CPoint(1, 0));
    EXPECT_EQ(field(slider, &SliderPeek::minTmp), 0);
    EXPECT_EQ(field(slider, &SliderPeek::maxTmp), 69);
    EXPECT_EQ(slider->getValue(), 0.25f);
    EXPECT_EQ(slider->getDefaultValue(), 0.5f);

    // display
    auto* display = view<CParamDisplay>(kDisplayView);
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(typeid(*display), typeid(CParamDisplay));
    EXPECT_EQ(display->getTag(), 0);
    EXPECT_EQ(display->getListener(), nullptr);
    EXPECT_EQ(sizeOf(display), CRect(818, 92, 845, 104));
    EXPECT_EQ(display->getBackground(), nullptr);
    EXPECT_EQ(field(display, &DisplayPeek::fontID), kFontArial10);
    EXPECT_EQ(field(display, &DisplayPeek::fontColor), kBlackColor);
    EXPECT_EQ(field(display, &DisplayPeek::backColor), kPanelColour);
    EXPECT_EQ(field(display, &DisplayPeek::frameColor), kPanelColour);
    EXPECT_EQ(field(display, &DisplayPeek::stringConvert), &delayStringConvert);
    EXPECT_EQ(display->getValue(), 0.25f);

    // switches
    struct SwitchRow {
        int view, tag;
        CRect size;
        int bitmap, images, height, positions;
        float value;
    };
    const SwitchRow switches[] = {
        {kModeView, 5, CRect(83, 40, 114, 85), 133, 3, 45, 3, 0.5f},
        {kRespView, 6, CRect(83, 122, 114, 167), 133, 3, 45, 3, 1.0f},
        {kRmsModeView, 7, CRect(793, 40, 820, 68), 134, 2, 28, 2, 1.0f},
    };
    for (const SwitchRow& row : switches) {
        SCOPED_TRACE(row.tag);
        auto* control = view<CVerticalSwitch>(row.view);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(typeid(*control), typeid(CVerticalSwitch));
        EXPECT_EQ(control->getTag(), row.tag);
        EXPECT_EQ(control->getListener(), editor());
        EXPECT_EQ(sizeOf(control), row.size);
        EXPECT_EQ(control->getBackground()->getResourceId(), row.bitmap);
        EXPECT_EQ(field(control, &SwitchPeek::subPixmaps), row.images);
        EXPECT_EQ(field(control, &SwitchPeek::heightOfOneImage), row.height);
        EXPECT_EQ(field(control, &SwitchPeek::iMaxPositions), row.positions);
        EXPECT_EQ(field(control, &SwitchPeek::offset), CPoint(0, 0));
        EXPECT_EQ(control->getDefaultValue(), 0.0f);
        EXPECT_EQ(control->getValue(), row.value);
    }

    // meters: bars first, then hold markers, then peak markers, one row per channel
    for (int index = kRmsView0; index <= kPeakView1; ++index) {
        SCOPED_TRACE(index);
        CVuMeter* m = meter(index);
        ASSERT_NE(m, nullptr);
        const bool bar = index <= kRmsView1;
        EXPECT_EQ(typeid(*m), bar ? typeid(CVuMeter) : typeid(CExtendedVuMeter));
        const int channel = (index - kRmsView0) % 2;
        const int top = channel == 0 ? 65 : 115;
        EXPECT_EQ(sizeOf(m), CRect(151, top, 755, top + 27));
        EXPECT_EQ(m->getTag(), 0);
        EXPECT_EQ(m->getListener(), nullptr);
        EXPECT_EQ(field(m, &MeterPeek::onBitmap)->getResourceId(), 132);
        CBitmap* off = field(m, &MeterPeek::offBitmap);
        if (bar) {
            ASSERT_NE(off, nullptr);
            EXPECT_EQ(off->getResourceId(), 131);
        } else {
            EXPECT_EQ(off, nullptr);
        }
        EXPECT_EQ(field(m, &MeterPeek::nbLed), 40);
        EXPECT_EQ(field(m, &MeterPeek::style), kHorizontal);
        EXPECT_EQ(field(m, &MeterPeek::decreaseValue), 100.0f);
        EXPECT_EQ(m->getValue(), 0.0f);
    }
    ADEditor* e = editor();
    EXPECT_EQ(field(e, &EditorPeek::rmsMeters), (std::vector<CVuMeter*>{meter(5), meter(6)}));
    EXPECT_EQ(
        field(e, &EditorPeek::holdMeters),
        (std::vector<CExtendedVuMeter*>{view<CExtendedVuMeter>(7), view<CExtendedVuMeter>(8)}));
    EXPECT_EQ(
        field(e, &EditorPeek::peakMeters),
        (std::vector<CExtendedVuMeter*>{view<CExtendedVuMeter>(9), view<CExtendedVuMeter>(10)}));
}

TEST_F(Layout, RectanglesFollowTheBitmapSizes) {
    dispatch(effClose);
    PanelSizes sizes;
    sizes.panelW = 800;
    sizes.panelH = 180;
    sizes.trackW = 20;
    sizes.trackH = 80;
    sizes.handleH = 10;
    sizes.meterW = 400;
    sizes.meterH = 20;
    sizes.modeW = 25;
    sizes.modeH = 90;
    sizes.rmsModeW = 21;
    sizes.rmsModeH = 41; // odd: the frame height is cut down
    registerPanelBitmaps(sizes);
    effect = createEffectInstance(recordingHost);
    ASSERT_NE(effect, nullptr);

    ERect* rect = nullptr;
    dispatch(effEditGetRect, 0, 0, &rect);
    EXPECT_EQ(rect->bottom, 180);
    EXPECT_EQ(rect->right, 800);
    ASSERT_EQ(dispatch(effEditOpen, 0, 0, &parentWindow), 1);
    EXPECT_EQ(sizeOf(frame()), CRect(0, 0, 800, 180));
    auto* slider = view<CVerticalSlider>(kSliderView);
    EXPECT_EQ(sizeOf(slider), CRect(727, 105, 747, 185));
    EXPECT_EQ(field(slider, &SliderPeek::rangeHandle), 185 - 10 - 1 - 105);
    EXPECT_EQ(sizeOf(view<CView>(kDisplayView)), CRect(722, 92, 749, 104));
    EXPECT_EQ(sizeOf(view<CView>(kModeView)), CRect(83, 40, 108, 70));
    EXPECT_EQ(sizeOf(view<CView>(kRespView)), CRect(83, 122, 108, 152));
    EXPECT_EQ(field(view<CVerticalSwitch>(kModeView), &SwitchPeek::heightOfOneImage), 30);
    EXPECT_EQ(sizeOf(view<CView>(kRmsModeView)), CRect(793, 40, 814, 60));
    EXPECT_EQ(sizeOf(view<CView>(kRmsView1)), CRect(151, 115, 551, 135));
    EXPECT_EQ(sizeOf(view<CView>(kPeakView0)), CRect(151, 65, 551, 85));
}

TEST_F(Layout, ReferenceCountsWhileOpenAndAfterClose) {
    openEditor();
    CBitmap* panel = frame()->getBackground();
    EXPECT_EQ(panel->getNbReference(), 2); // the editor's and the frame's
    // every other bitmap is held by its controls alone
    auto* slider = view<CVerticalSlider>(kSliderView);
    EXPECT_EQ(slider->getBackground()->getNbReference(), 1);
    EXPECT_EQ(slider->getHandle()->getNbReference(), 1);
    EXPECT_EQ(view<CControl>(kModeView)->getBackground()->getNbReference(), 2);
    EXPECT_EQ(view<CControl>(kRmsModeView)->getBackground()->getNbReference(), 1);
    EXPECT_EQ(field(meter(kRmsView0), &MeterPeek::onBitmap)->getNbReference(), 6);
    EXPECT_EQ(field(meter(kRmsView0), &MeterPeek::offBitmap)->getNbReference(), 2);
    for (int i = 0; i < kViewCount; ++i)
        EXPECT_EQ(frame()->getView(i)->getNbReference(), 1);

    dispatch(effEditClose);
    EXPECT_EQ(panel->getNbReference(), 1);
    EXPECT_EQ(editor()->getFrame(), nullptr);
    EXPECT_FALSE(editor()->isOpened());
    EXPECT_TRUE(headless::windows().empty());
}

TEST_F(Layout, ReopeningBuildsACompleteSecondSet) {
    openEditor();
    dispatch(effEditClose);
    set(0, 0.75f);
    openEditor();
    ASSERT_EQ(frame()->getNbViews(), kViewCount);
    EXPECT_EQ(frame()->getBackground()->getNbReference(), 2);
    EXPECT_EQ(view<CControl>(kSliderView)->getValue(), 0.75f);
    ADEditor* e = editor();
    EXPECT_EQ(field(e, &EditorPeek::rmsMeters).size(), 2u);
    EXPECT_EQ(field(e, &EditorPeek::holdMeters).size(), 2u);
    EXPECT_EQ(field(e, &EditorPeek::peakMeters).size(), 2u);
    EXPECT_EQ(field(e, &EditorPeek::peakMeters)[1], view<CExtendedVuMeter>(kPeakView1));
    EXPECT_EQ(field(meter(kRmsView0), &MeterPeek::onBitmap)->getNbReference(), 6);
    EXPECT_EQ(headless::windows().size(), 1u);
}

TEST_F(Layout, OpeningAgainWithoutCloseReplacesTheFirstWindow) {
    int otherParent = 0;
    openEditor();
    openEditor(&otherParent);
    ASSERT_EQ(headless::windows().size(), 1u);
    EXPECT_EQ(headless::windows()[0]->parent(), &otherParent);
    EXPECT_EQ(frame()->getNbViews(), kViewCount);
    EXPECT_EQ(frame()->getBackground()->getNbReference(), 2);
    EXPECT_EQ(field(meter(kRmsView0), &MeterPeek::onBitmap)->getNbReference(), 6);
}

TEST_F(Layout, ClosingTheEffectWithTheEditorOpenRemovesTheWindow) {
    openEditor();
    ASSERT_EQ(headless::windows().size(), 1u);
    dispatch(effClose);
    effect = nullptr;
    EXPECT_TRUE(headless::windows().empty());
}

TEST_F(Layout, FreshPanelPicture) {
    openEditor();
    const PixelBuffer& p = pixels();
    // panel, slider track with the handle at the bottom of its travel (value 0)
    EXPECT_EQ(p.at(0, 0), kPanel);
    EXPECT_EQ(p.at(899, 201), kPanel);
    EXPECT_EQ(p.at(823, 105), kTrack);
    EXPECT_EQ(p.at(838, 174), kTrack);
    EXPECT_EQ(p.at(823, 163), kTrack); // left of the handle (offset 1)
    EXPECT_EQ(p.at(824, 162), kHandle);
    EXPECT_EQ(p.at(837, 173), kHandle);
    EXPECT_EQ(p.at(838, 168), kTrack);
    EXPECT_EQ(p.at(830, 161), kTrack);
    // switches at value 0 show their first frame
    EXPECT_EQ(p.at(83, 40), lamp(0));
    EXPECT_EQ(p.at(113, 84), lamp(0));
    EXPECT_EQ(p.at(114, 84), kPanel);
    EXPECT_EQ(p.at(83, 122), lamp(0));
    EXPECT_EQ(p.at(793, 40), rmsLamp(0));
    EXPECT_EQ(p.at(819, 67), rmsLamp(0));
    // meters at 0 after the construction's resume: unlit bars, no markers
    for (int top : {65, 115}) {
        EXPECT_EQ(p.at(151, top), kMeterOff);
        EXPECT_EQ(p.at(754, top + 26), kMeterOff);
        EXPECT_EQ(p.at(755, top + 26), kPanel);
        EXPECT_EQ(p.at(151, top + 27), kPanel);
    }
    // the display: panel-coloured box with text in black
    const uint32_t face = rgb(232, 229, 224);
    EXPECT_EQ(p.at(818, 92), face);
    int ink = 0;
    for (int y = 93; y < 104; ++y)
        for (int x = 819; x < 845; ++x)
            ink += p.at(x, y) != face;
    EXPECT_GT(ink, 0);
}

} // namespace
} // namespace editortest
