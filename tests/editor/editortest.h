#pragma once
// The editor tests' world: an effect made through the module entry with a recording host,
// test bitmaps of the panel's sizes (each told apart by its colour), and a look at the
// controls' settings.

#include "panelbitmaps.h"

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
#include "module/vst2/vstmain.h"
#include "shell/audioeffect.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace editortest {

using namespace VSTGUI;

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

// What the host does inside audioMasterIdle (a host pumping its own events there); nothing
// when empty.
inline std::function<void(AEffect*)>& onHostIdle() {
    static std::function<void(AEffect*)> hook;
    return hook;
}

inline intptr_t VSTCALLBACK recordingHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t,
                                          void*, float opt) {
    if (effect) hostRequests().push_back({opcode, index, opt});
    if (opcode == audioMasterIdle && onHostIdle()) onHostIdle()(effect);
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
        onHostIdle() = nullptr;
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
