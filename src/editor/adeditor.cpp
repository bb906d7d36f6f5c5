#include "editor/adeditor.h"

#include "editor/cextendedvumeter.h"
#include "editor/panellayout.h"
#include "effect/parameterindex.h"
#include "gui/cbitmap.h"
#include "gui/cframe.h"
#include "gui/cparamdisplay.h"
#include "gui/cverticalslider.h"
#include "gui/cverticalswitch.h"
#include "gui/cvumeter.h"
#include "shell/audioeffect.h"

#include <cstdio>

using namespace VSTGUI;

namespace {

// Bitmap resources of the panel.
enum BitmapId : int32_t {
    kBackgroundId = 128,
    kSliderTrackId = 129,
    kSliderHandleId = 130,
    kMeterOffId = 131,
    kMeterOnId = 132,
    kModeImagesId = 133,
    kRmsModeImagesId = 134,
};

constexpr int32_t kLastParameter = kNumParams - 1;
constexpr int32_t kMeterSegments = 40;
// Large enough that a meter never decays: each reading shows at once.
constexpr float kMeterDecreaseStep = 100.0f;
constexpr CColor kPanelColor{panel::kFace.red, panel::kFace.green, panel::kFace.blue, 0};
// The parameters whose controls read the effect's value when it changes.
constexpr uint32_t kControlParameters = 1u << kDelay | 1u << kMode | 1u << kResp | 1u << kRmsMode;

} // namespace

void delayStringConvert(float value, char* text) {
    std::snprintf(text, 12, "%d", saturatingTruncate(static_cast<double>(value) * 300.0));
}

ADEditor::ADEditor(AudioEffect* effect) : AEffGUIEditor(effect) {
    // the background is kept for the editor's whole life; its size is the editor's
    try {
        background = new CBitmap(kBackgroundId);
    } catch (...) {
        if (effect) effect->setEditor(nullptr);
        throw;
    }
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<int16_t>(background->getHeight());
    rect.right = static_cast<int16_t>(background->getWidth());
}

ADEditor::~ADEditor() {
    // a host that ends the instance with the editor open must not leave the window behind
    if (frame) close();
    background->forget();
}

int32_t ADEditor::open(void* ptr) {
    // a second open without close: the first frame and its window go first
    if (frame) close();
    AEffGUIEditor::open(ptr);

    // bitmaps, each created with one reference that the controls take over below
    CBitmap* track = new CBitmap(kSliderTrackId);
    CBitmap* handle = new CBitmap(kSliderHandleId);
    CBitmap* meterOff = new CBitmap(kMeterOffId);
    CBitmap* meterOn = new CBitmap(kMeterOnId);
    CBitmap* modeImages = new CBitmap(kModeImagesId);
    CBitmap* rmsModeImages = new CBitmap(kRmsModeImagesId);
    CBitmap* const bitmaps[] = {track, handle, meterOff, meterOn, modeImages, rmsModeImages};

    // frame with the panel as background
    frame = new CFrame(CRect(0, 0, background->getWidth(), background->getHeight()), ptr, this);
    if (ptr && !frame->getWindow()) {
        // no window in that parent (no display, a parent that is gone): the host hears 0 and
        // the editor stays closed
        frame->forget();
        frame = nullptr;
        for (CBitmap* bitmap : bitmaps)
            bitmap->forget();
        return 0;
    }
    frame->setBackground(background);

    // controls in drawing order
    addDelayControls(track, handle);
    addSwitches(modeImages, rmsModeImages);
    addMeters(meterOn, meterOff);

    // from here on the controls alone keep the bitmaps alive
    for (CBitmap* bitmap : bitmaps)
        bitmap->forget();

    // from now on this thread is the editor's; a change that another thread made while the
    // controls were being built is picked up at the first idle
    editorThread.store(std::this_thread::get_id());
    pendingMeters.store(0);
    pendingControls.store(kControlParameters);
    opened.store(true);
    return 1;
}

void ADEditor::addDelayControls(CBitmap* track, CBitmap* handle) {
    // slider: right of the panel, travel from its top down to one pixel above the handle's end
    const int32_t left = panel::sliderLeft(background->getWidth(), track->getWidth());
    const int32_t top = panel::kSliderTop;
    const CRect sliderSize(left, top, left + track->getWidth(), top + track->getHeight());
    const int32_t maxPos = top + track->getHeight() - handle->getHeight() - 1;
    delaySlider = new CVerticalSlider(sliderSize, this, kDelay, top, maxPos, handle, track,
                                      CPoint(0, 0), kVertical | kBottom);
    delaySlider->setOffsetHandle(CPoint(1, 0));
    delaySlider->setValue(effect->getParameter(kDelay));
    delaySlider->setDefaultValue(0.5f);
    frame->addView(delaySlider);

    // display just above the slider
    delayDisplay = new CParamDisplay(CRect(panel::displayLeft(left), panel::kDisplayTop,
                                           panel::displayRight(left), panel::kDisplayBottom));
    delayDisplay->setFont(kFontArial10);
    delayDisplay->setFontColor(kBlackColor);
    delayDisplay->setBackColor(kPanelColor);
    delayDisplay->setFrameColor(kPanelColor);
    delayDisplay->setValue(effect->getParameter(kDelay));
    delayDisplay->setStringConvert(delayStringConvert);
    frame->addView(delayDisplay);
}

void ADEditor::addSwitches(CBitmap* modeImages, CBitmap* rmsModeImages) {
    // a switch shows one stacked frame of its images per position
    auto lampSwitch = [&](panel::Spot at, int32_t tag, CBitmap* images, int32_t positions) {
        const int32_t height = images->getHeight() / positions;
        CVerticalSwitch* control =
            new CVerticalSwitch(CRect(at.x, at.y, at.x + images->getWidth(), at.y + height), this,
                                tag, positions, height, positions, images, CPoint(0, 0));
        control->setDefaultValue(0.0f);
        control->setValue(effect->getParameter(tag));
        frame->addView(control);
        return control;
    };
    // two three-lamp switches on the left, one above the other, and a two-lamp switch beside
    // the meters
    modeSwitch = lampSwitch(panel::kModeSwitchAt, kMode, modeImages, 3);
    respSwitch = lampSwitch(panel::kRespSwitchAt, kResp, modeImages, 3);
    rmsModeSwitch = lampSwitch(panel::kRmsModeSwitchAt, kRmsMode, rmsModeImages, 2);
}

void ADEditor::addMeters(CBitmap* meterOn, CBitmap* meterOff) {
    // one row per channel; the three meters of a row share its rectangle
    auto meterSize = [&](int32_t channel) {
        const panel::Spot at = panel::kMeterRowAt[channel];
        return CRect(at.x, at.y, at.x + meterOn->getWidth(), at.y + meterOn->getHeight());
    };
    auto settle = [&](CVuMeter* meter) {
        meter->setDecreaseStepValue(kMeterDecreaseStep);
        meter->setValue(0.0f);
        frame->addView(meter);
    };

    // bars first, so that the hold and then the peak markers lie on top of them
    rmsMeters.resize(kChannels);
    for (int32_t c = 0; c < kChannels; ++c) {
        rmsMeters[c] = new CVuMeter(meterSize(c), meterOn, meterOff, kMeterSegments, kHorizontal);
        settle(rmsMeters[c]);
    }
    holdMeters.resize(kChannels);
    for (int32_t c = 0; c < kChannels; ++c) {
        holdMeters[c] =
            new CExtendedVuMeter(meterSize(c), meterOn, nullptr, kMeterSegments, kHorizontal);
        settle(holdMeters[c]);
    }
    peakMeters.resize(kChannels);
    for (int32_t c = 0; c < kChannels; ++c) {
        peakMeters[c] =
            new CExtendedVuMeter(meterSize(c), meterOn, nullptr, kMeterSegments, kHorizontal);
        settle(peakMeters[c]);
    }
}

void ADEditor::close() {
    // closed before the frame goes, so that no change touches the dying controls
    opened.store(false);
    if (frame) frame->forget();
    frame = nullptr;
}

void ADEditor::setParameter(int32_t index, float value) {
    if (!opened.load()) return;
    if (std::this_thread::get_id() == editorThread.load()) {
        if (index == kRmsLevel || index == kPeakLevel || index == kHoldLevel) {
            int32_t c = 0;
            float level = 0.0f;
            if (decodeMeter(value, c, level)) refreshMeter(index, c, level);
        } else {
            refreshControls(index);
        }
    } else {
        recordChange(index, value);
    }
    postUpdate();
}

void ADEditor::recordChange(int32_t index, float value) {
    if (index == kRmsLevel || index == kPeakLevel || index == kHoldLevel) {
        // decoded now: two readings for the two channels may arrive before the next idle
        int32_t c = 0;
        float level = 0.0f;
        if (!decodeMeter(value, c, level)) return;
        const int32_t meter = (index - kRmsLevel) * kChannels + c;
        pendingLevels[index - kRmsLevel][c].store(level);
        pendingMeters.fetch_or(1u << meter);
    } else if (index >= 0 && index <= kLastParameter) {
        pendingControls.fetch_or((1u << index) & kControlParameters);
    }
}

void ADEditor::update() {
    const uint32_t controls = pendingControls.exchange(0);
    const uint32_t meters = pendingMeters.exchange(0);
    if (!opened.load()) return;
    for (int32_t index = 0; index <= kLastParameter; ++index) {
        if (controls & (1u << index)) refreshControls(index);
    }
    for (int32_t kind = 0; kind < kMeterKinds; ++kind) {
        for (int32_t c = 0; c < kChannels; ++c) {
            if (meters & (1u << (kind * kChannels + c)))
                refreshMeter(kRmsLevel + kind, c, pendingLevels[kind][c].load());
        }
    }
}

void ADEditor::refreshControls(int32_t index) {
    switch (index) {
    case kDelay:
        delaySlider->setValue(effect->getParameter(index));
        delayDisplay->setValue(effect->getParameter(index));
        break;
    case kMode:
        modeSwitch->setValue(effect->getParameter(index));
        break;
    case kResp:
        respSwitch->setValue(effect->getParameter(index));
        break;
    case kRmsMode:
        rmsModeSwitch->setValue(effect->getParameter(index));
        break;
    default:
        break;
    }
}

bool ADEditor::decodeMeter(float reading, int32_t& channel, float& level) {
    // channel + level / 2; a reading of no channel of the two (or no number) shows nowhere
    if (!(reading >= 0.0f && reading < static_cast<float>(kChannels))) return false;
    channel = static_cast<int32_t>(reading);
    level = (reading - static_cast<float>(channel)) * 2.0f;
    return true;
}

void ADEditor::refreshMeter(int32_t index, int32_t c, float level) {
    // a redrawn bar covers the markers of its row, and a moved marker needs the bar repainted
    if (index == kRmsLevel) {
        rmsMeters[c]->setValue(level);
        peakMeters[c]->setDirty(true);
        holdMeters[c]->setDirty(true);
    } else if (index == kPeakLevel) {
        const bool differed = peakMeters[c]->getValue() != level;
        peakMeters[c]->setValue(level);
        if (differed) rmsMeters[c]->setDirty(true);
    } else {
        holdMeters[c]->setValue(level);
        rmsMeters[c]->setDirty(true);
    }
}

void ADEditor::valueChanged(CDrawContext* context, CControl* control) {
    // only the parameters of this effect are reported
    const int32_t tag = control->getTag();
    if (static_cast<uint32_t>(tag) > static_cast<uint32_t>(kLastParameter)) return;

    // the effect stores it, refreshes the controls through setParameter and tells the host
    effect->setParameterAutomated(tag, control->getValue());
    // without a context (a key from the host) the control stays dirty and the next idle draws it
    if (context) control->update(context);
}
