// The wiring between the controls, the effect and the host, driven through the record.

#include "editortest.h"

#include <cmath>
#include <limits>

namespace editortest {
namespace {

using Wiring = EditorTest;
using Point = quorvane::platform::Point;

// The requests other than the host's idle, which the pump sends while a control tracks.
std::vector<HostRequest> editRequests() {
    std::vector<HostRequest> out;
    for (const HostRequest& r : hostRequests())
        if (r.opcode != audioMasterIdle) out.push_back(r);
    return out;
}

// A left press at start, held while the pointer visits path, released at its last point. One
// queued step per button poll: the frame's, the control's first, then one per tracking pass.
void drag(Point start, const std::vector<Point>& path = {}) {
    const Point last = path.empty() ? start : path.back();
    std::vector<headless::InputStep> steps{{headless::kLeft, start}, {headless::kLeft, start}};
    for (Point p : path)
        steps.push_back({headless::kLeft, p});
    steps.push_back({headless::kLeft, last});
    steps.push_back({0, last});
    headless::queueInput(steps);
    headless::lastWindow()->press(start);
    headless::setButtons(0);
}

// The display's pixels inside its frame line.
std::vector<uint32_t> displayPixels(const PixelBuffer& p) {
    std::vector<uint32_t> out;
    for (int y = 93; y < 104; ++y)
        for (int x = 819; x < 845; ++x)
            out.push_back(p.at(x, y));
    return out;
}

// The value a free click on the slider gives at window row y: the pointer sits on handle row 5.
float sliderValueAt(int y) {
    return 1.0f - static_cast<float>(y - 110) / 57.0f;
}

TEST_F(Wiring, SliderDragIsBracketedAndAutomatesEveryChange) {
    openEditor();
    hostRequests().clear();
    drag({830, 138}, {{830, 110}, {830, 124}});

    const std::vector<HostRequest> r = editRequests();
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(r[0].index, 0);
    const float values[] = {sliderValueAt(138), 1.0f, sliderValueAt(124)};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(r[1 + i].opcode, audioMasterAutomate);
        EXPECT_EQ(r[1 + i].index, 0);
        EXPECT_EQ(r[1 + i].opt, values[i]);
    }
    EXPECT_EQ(r[4].opcode, audioMasterEndEdit);
    EXPECT_EQ(r[4].index, 0);

    // the effect holds the value, the display has taken it and shows it once idle has run
    EXPECT_EQ(get(0), values[2]);
    EXPECT_EQ(view<CControl>(kDisplayView)->getValue(), values[2]);
    idle();
    EXPECT_FALSE(view<CControl>(kDisplayView)->isDirty());
    EXPECT_FALSE(view<CControl>(kSliderView)->isDirty());
    // handle top at trunc(57 * (1 - value))
    const int handleTop = 105 + static_cast<int>(57.0f * (1.0f - values[2]));
    EXPECT_EQ(pixels().at(824, handleTop), kHandle);
    EXPECT_EQ(pixels().at(824, handleTop - 1), kTrack);
}

TEST_F(Wiring, DisplayShowsAHostChangeAtTheNextIdle) {
    openEditor();
    const std::vector<uint32_t> before = displayPixels(pixels());
    set(0, 1.0f);
    EXPECT_EQ(view<CControl>(kSliderView)->getValue(), 1.0f);
    EXPECT_EQ(view<CControl>(kDisplayView)->getValue(), 1.0f);
    EXPECT_TRUE(view<CControl>(kDisplayView)->isDirty());
    EXPECT_EQ(displayPixels(pixels()), before);
    idle();
    EXPECT_NE(displayPixels(pixels()), before);
    EXPECT_EQ(pixels().at(824, 105), kHandle);
}

TEST_F(Wiring, ClickOnEachSwitchZoneSetsItsParameter) {
    struct Zone {
        int tag, x, top, height;
        float value;
        uint32_t picture;
    };
    const Zone zones[] = {
        {5, 90, 40, 15, 1.0f, lamp(2)},     {5, 90, 40, 15, 0.5f, lamp(1)},
        {5, 90, 40, 15, 0.0f, lamp(0)},     {6, 100, 122, 15, 1.0f, lamp(2)},
        {6, 100, 122, 15, 0.5f, lamp(1)},   {6, 100, 122, 15, 0.0f, lamp(0)},
        {7, 800, 40, 14, 1.0f, rmsLamp(1)}, {7, 800, 40, 14, 0.0f, rmsLamp(0)},
    };
    openEditor();
    for (const Zone& z : zones) {
        SCOPED_TRACE(testing::Message() << "tag " << z.tag << " value " << z.value);
        hostRequests().clear();
        const int zone = static_cast<int>(z.value * (z.height == 15 ? 2 : 1));
        const int y = z.top + z.height * zone + z.height / 2;
        drag({z.x, y});
        EXPECT_EQ(get(z.tag), z.value);
        const std::vector<HostRequest> r = editRequests();
        ASSERT_EQ(r.size(), 3u);
        EXPECT_EQ(r[0].opcode, audioMasterBeginEdit);
        EXPECT_EQ(r[1].opcode, audioMasterAutomate);
        EXPECT_EQ(r[1].opt, z.value);
        EXPECT_EQ(r[2].opcode, audioMasterEndEdit);
        for (const HostRequest& q : r)
            EXPECT_EQ(q.index, z.tag);
        // redrawn at once by the editor, without waiting for idle
        EXPECT_EQ(pixels().at(z.x, z.top + 1), z.picture);
    }
}

TEST_F(Wiring, ControlsWithATagAboveSevenAreNotReported) {
    openEditor();
    hostRequests().clear();
    for (int32_t tag : {8, 100, -1}) {
        auto* control =
            new CVerticalSwitch(CRect(0, 0, 10, 10), editor(), tag, 2, 5, 2, nullptr, CPoint(0, 0));
        control->setValue(0.5f);
        editor()->valueChanged(nullptr, control);
        EXPECT_TRUE(control->isDirty()) << tag; // not even redrawn
        control->forget();
    }
    EXPECT_TRUE(hostRequests().empty());
}

TEST_F(Wiring, MeterReadingsAddressChannelAndLevel) {
    openEditor();
    set(2, 0.25f);
    EXPECT_EQ(meter(kPeakView0)->getValue(), 0.5f);
    set(2, 1.25f);
    EXPECT_EQ(meter(kPeakView1)->getValue(), 0.5f);
    set(2, 1.0f);
    EXPECT_EQ(meter(kPeakView1)->getValue(), 0.0f);
    EXPECT_EQ(meter(kPeakView0)->getValue(), 0.5f);
    set(3, 1.4f);
    EXPECT_FLOAT_EQ(meter(kHoldView1)->getValue(), 0.8f);
    EXPECT_EQ(meter(kHoldView0)->getValue(), 0.0f);

    // a level above 1 is kept and drawn as a full bar
    set(1, 0.75f);
    EXPECT_EQ(meter(kRmsView0)->getValue(), 1.5f);
    idle();
    for (int x : {151, 400, 754})
        EXPECT_EQ(pixels().at(x, 70), meterOn(x - 151, 5)) << x;
    EXPECT_EQ(pixels().at(755, 70), kPanel);
    EXPECT_EQ(pixels().at(400, 120), kMeterOff);
}

TEST_F(Wiring, MeterChangesMarkTheOtherMetersOfTheRow) {
    openEditor();
    idle();
    set(1, 1.3f); // RMS of channel 1: both markers of the row follow the new bar
    EXPECT_TRUE(meter(kRmsView1)->isDirty());
    EXPECT_TRUE(meter(kPeakView1)->isDirty());
    EXPECT_TRUE(meter(kHoldView1)->isDirty());
    EXPECT_FALSE(meter(kPeakView0)->isDirty());
    idle();

    set(2, 0.2f); // a moved peak marker has the bar repaint over its old place
    EXPECT_TRUE(meter(kPeakView0)->isDirty());
    EXPECT_TRUE(meter(kRmsView0)->isDirty());
    idle();
    set(2, 0.2f); // the same level again: nothing to repaint
    EXPECT_FALSE(meter(kRmsView0)->isDirty());
    EXPECT_FALSE(meter(kPeakView0)->isDirty());

    set(3, 0.1f); // hold marker: the bar is repainted
    EXPECT_TRUE(meter(kHoldView0)->isDirty());
    EXPECT_TRUE(meter(kRmsView0)->isDirty());
    EXPECT_FALSE(meter(kRmsView1)->isDirty());
}

TEST_F(Wiring, ReadingsOfNoChannelChangeNoMeter) {
    openEditor();
    set(1, 0.3f);
    set(2, 1.4f);
    set(3, 0.45f);
    idle();
    std::vector<float> before;
    for (int i = kRmsView0; i <= kPeakView1; ++i)
        before.push_back(meter(i)->getValue());

    const float inf = std::numeric_limits<float>::infinity();
    for (float v : {2.0f, 2.5f, 7.0f, -0.25f, -1.0f, std::nanf(""), inf, -inf, 1e30f}) {
        for (int index : {1, 2, 3}) {
            set(index, v);
            EXPECT_TRUE(std::isnan(v) ? std::isnan(get(index)) : get(index) == v);
        }
        for (int i = kRmsView0; i <= kPeakView1; ++i) {
            EXPECT_EQ(meter(i)->getValue(), before[i - kRmsView0]) << v << " meter " << i;
            EXPECT_FALSE(meter(i)->isDirty()) << v << " meter " << i;
        }
    }
}

TEST_F(Wiring, ResumeSetsAllSixMetersToZero) {
    openEditor();
    for (int index : {1, 2, 3}) {
        set(index, 0.4f);
        set(index, 1.4f);
    }
    dispatch(effMainsChanged, 0, 0);
    dispatch(effMainsChanged, 0, 1);
    for (int i = kRmsView0; i <= kPeakView1; ++i)
        EXPECT_EQ(meter(i)->getValue(), 0.0f) << i;
    idle();
    EXPECT_EQ(pixels().at(151, 70), kMeterOff);
    EXPECT_EQ(pixels().at(151, 120), kMeterOff);
}

TEST_F(Wiring, ParametersWithoutControlsChangeNoControl) {
    openEditor();
    idle();
    for (int index : {4, 8, 100, -1}) {
        set(index, 0.9f);
        for (int i = 0; i < kViewCount; ++i)
            EXPECT_FALSE(frame()->getView(i)->isDirty()) << index << " view " << i;
    }
}

TEST_F(Wiring, ProgramChangeMovesEveryControl) {
    dispatch(effSetProgram, 0, 3);
    const float values[8] = {0.25f, 0.75f, 1.25f, 1.5f, 0.5f, 1.0f, 0.5f, 1.0f};
    for (int i = 0; i < 8; ++i)
        set(i, values[i]);
    dispatch(effSetProgram, 0, 0);
    openEditor();
    EXPECT_EQ(view<CControl>(kSliderView)->getValue(), 0.0f);

    dispatch(effSetProgram, 0, 3);
    EXPECT_EQ(view<CControl>(kSliderView)->getValue(), 0.25f);
    EXPECT_EQ(view<CControl>(kDisplayView)->getValue(), 0.25f);
    EXPECT_EQ(view<CControl>(kModeView)->getValue(), 1.0f);
    EXPECT_EQ(view<CControl>(kRespView)->getValue(), 0.5f);
    EXPECT_EQ(view<CControl>(kRmsModeView)->getValue(), 1.0f);
    EXPECT_EQ(meter(kRmsView0)->getValue(), 1.5f);
    EXPECT_EQ(meter(kPeakView1)->getValue(), 0.5f);
    EXPECT_EQ(meter(kHoldView1)->getValue(), 1.0f);

    dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(view<CControl>(kSliderView)->getValue(), 0.0f);
    EXPECT_EQ(view<CControl>(kModeView)->getValue(), 0.0f);
    EXPECT_EQ(meter(kPeakView1)->getValue(), 0.0f); // program 0 holds 1.0: channel 1, level 0
}

TEST_F(Wiring, ChangesWhileClosedTouchNothing) {
    set(0, 0.1f); // before the first open
    openEditor();
    dispatch(effEditClose);
    set(0, 0.3f);
    set(2, 0.5f);
    set(6, 1.0f);
    dispatch(effEditIdle);
    EXPECT_EQ(get(0), 0.3f);

    openEditor();
    EXPECT_EQ(view<CControl>(kSliderView)->getValue(), 0.3f);
    EXPECT_EQ(view<CControl>(kRespView)->getValue(), 1.0f);
    EXPECT_EQ(meter(kPeakView0)->getValue(), 0.0f); // meters start at 0 on every open
}

} // namespace
} // namespace editortest
