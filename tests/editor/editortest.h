#pragma once
// The editor tests' world: an effect made through the module entry with a recording host,
// test bitmaps of the panel's sizes (each told apart by its colour), and a look at the
// controls' settings.

#include "editor/adeditor.h"
#include "editor/cextendedvumeter.h"
#include "gui/cbitmap.h"
#include "gui/cframe.h"
#include "gui/cparamdisplay.h"
#include "gui/cverticalslider.h"
#include "gui/cverticalswitch.h"
#include "gui/cvumeter.h"
#include "gui/platform/headless/headless.h"
#include "gui/platform/headless/headlesswindow.h"
#include "gui/platform/raster/pixelbuffer.h"
#include "shell/audioeffect.h"
#include "shell/vstmain.h"

#include <gtest/gtest.h>

#include <vector>

namespace editortest {

using namespace VSTGUI;
using quorvane::raster::PixelBuffer;
using quorvane::raster::rgb;
namespace headless = quorvane::headless;

// Colours of the test bitmaps.
inline constexpr uint32_t kPanel = rgb(10, 20, 30);
inline constexpr uint32_t kTrack = rgb(40, 0, 0);
inline constexpr uint32_t kHandle = rgb(0, 200, 0);
inline constexpr uint32_t kMeterOff = rgb(0, 0, 90);
// The lit strip differs in every column, so a wrong source point shows.
inline constexpr uint32_t meterOn(int x, int y) {
    return rgb(100 + y, x & 0xFF, 128 + (x >> 8));
}
// Frame k of the three-lamp and of the two-lamp switch images.
inline constexpr uint32_t lamp(int k) {
    return rgb(1, 2, 100 + 40 * k);
}
inline constexpr uint32_t rmsLamp(int k) {
    return rgb(3, 4, 200 + 20 * k);
}

struct PanelSizes {
    int panelW = 900, panelH = 202;
    int trackW = 16, trackH = 70;
    int handleW = 14, handleH = 12;
    int meterW = 604, meterH = 27;
    int modeW = 31, modeH = 135;
    int rmsModeW = 27, rmsModeH = 56;
};

inline PixelBuffer framesOf(int w, int h, int frames, uint32_t (*colour)(int)) {
    PixelBuffer b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.set(x, y, colour(y / (h / frames)));
    return b;
}

inline void registerPanelBitmaps(const PanelSizes& s = {}) {
    headless::registerBitmap(128, PixelBuffer(s.panelW, s.panelH, kPanel));
    headless::registerBitmap(129, PixelBuffer(s.trackW, s.trackH, kTrack));
    headless::registerBitmap(130, PixelBuffer(s.handleW, s.handleH, kHandle));
    headless::registerBitmap(131, PixelBuffer(s.meterW, s.meterH, kMeterOff));
    PixelBuffer on(s.meterW, s.meterH);
    for (int y = 0; y < s.meterH; ++y)
        for (int x = 0; x < s.meterW; ++x)
            on.set(x, y, meterOn(x, y));
    headless::registerBitmap(132, on);
    headless::registerBitmap(133, framesOf(s.modeW, s.modeH, 3, lamp));
    headless::registerBitmap(134, framesOf(s.rmsModeW, s.rmsModeH, 2, rmsLamp));
}

// Every request the effect sends, in order.
struct HostRequest {
    int32_t opcode;
    int32_t index;
    float opt;
};

inline std::vector<HostRequest>& hostRequests() {
    static std::vector<HostRequest> requests;
    return requests;
}

inline intptr_t VSTCALLBACK recordingHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t,
                                          void*, float opt) {
    if (effect) hostRequests().push_back({opcode, index, opt});
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetSampleRate) return 44100;
    return 0;
}

// Protected settings of the toolkit's controls, read through pointers to members.
struct SliderPeek : CSlider {
    using CSlider::maxTmp;
    using CSlider::minPos;
    using CSlider::minTmp;
    using CSlider::offset;
    using CSlider::offsetHandle;
    using CSlider::rangeHandle;
    using CSlider::style;
};
struct DisplayPeek : CParamDisplay {
    using CParamDisplay::backColor;
    using CParamDisplay::fontColor;
    using CParamDisplay::fontID;
    using CParamDisplay::frameColor;
    using CParamDisplay::stringConvert;
};
struct SwitchPeek : CVerticalSwitch {
    using CVerticalSwitch::heightOfOneImage;
    using CVerticalSwitch::iMaxPositions;
    using CVerticalSwitch::offset;
    using CVerticalSwitch::subPixmaps;
};
struct MeterPeek : CVuMeter {
    using CVuMeter::decreaseValue;
    using CVuMeter::nbLed;
    using CVuMeter::offBitmap;
    using CVuMeter::onBitmap;
    using CVuMeter::style;
};
struct EditorPeek : ADEditor {
    using ADEditor::holdMeters;
    using ADEditor::peakMeters;
    using ADEditor::rmsMeters;
};
template <class Object, class T, class Base> T& field(Object* object, T Base::*member) {
    return object->*member;
}

// Order in which open adds the controls to the frame.
enum ViewIndex {
    kSliderView,
    kDisplayView,
    kModeView,
    kRespView,
    kRmsModeView,
    kRmsView0,
    kRmsView1,
    kHoldView0,
    kHoldView1,
    kPeakView0,
    kPeakView1,
    kViewCount
};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        registerPanelBitmaps();
        hostRequests().clear();
        effect = createEffectInstance(recordingHost);
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        if (effect) dispatch(effClose);
        hostRequests().clear();
    }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    // As a host sets or automates a parameter.
    void set(int32_t index, float value) { effect->setParameter(effect, index, value); }
    float get(int32_t index) { return effect->getParameter(effect, index); }

    ADEditor* editor() {
        auto* fx = static_cast<AudioEffect*>(effect->object);
        return static_cast<ADEditor*>(fx->getEditorPointer());
    }
    CFrame* frame() { return editor()->getFrame(); }
    template <class T> T* view(int index) { return dynamic_cast<T*>(frame()->getView(index)); }
    CVuMeter* meter(int index) { return view<CVuMeter>(index); }

    // Opens the editor in a parent window and lets it be painted once, as a window system
    // does when the window first shows.
    void openEditor() { openEditor(&parentWindow); }
    void openEditor(void* parent) {
        ASSERT_EQ(dispatch(effEditOpen, 0, 0, parent), 1);
        ASSERT_NE(headless::lastWindow(), nullptr);
        headless::lastWindow()->paint({0, 0, 900, 202});
    }
    const PixelBuffer& pixels() { return headless::lastWindow()->pixels(); }
    void idle() { dispatch(effEditIdle); }

    AEffect* effect = nullptr;
    int parentWindow = 0; // any handle will do for the headless back end
};

} // namespace editortest
