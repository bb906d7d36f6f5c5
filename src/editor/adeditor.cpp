#include "editor/adeditor.h"

#include "editor/cextendedvumeter.h"
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

// Parameters with controls.
enum ParameterIndex : int32_t {
    kDelayIndex = 0,
    kRmsLevelIndex = 1,
    kPeakLevelIndex = 2,
    kHoldLevelIndex = 3,
    kModeIndex = 5,
    kRespIndex = 6,
    kRmsModeIndex = 7,
};

constexpr int32_t kLastParameter = 7;
constexpr int32_t kChannels = 2;
constexpr int32_t kMeterSegments = 40;
// Large enough that a meter never decays: each reading shows at once.
constexpr float kMeterDecreaseStep = 100.0f;
constexpr CColor kPanelColor{232, 229, 224, 0};

// Fixed places on the panel; everything else follows from the bitmap sizes.
constexpr int32_t kSliderTop = 105;
constexpr int32_t kDisplayTop = 92;
constexpr int32_t kDisplayBottom = 104;
constexpr int32_t kSwitchLeft = 83;
constexpr int32_t kModeSwitchTop = 40;
constexpr int32_t kRespSwitchTop = 122;
constexpr int32_t kRmsModeSwitchLeft = 793;
constexpr int32_t kRmsModeSwitchTop = 40;
constexpr int32_t kMeterLeft = 151;
constexpr int32_t kMeterTops[kChannels] = {65, 115};

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

    opened = true;
    return 1;
}

void ADEditor::addDelayControls(CBitmap* track, CBitmap* handle) {
    // slider: right of the panel, travel from its top down to one pixel above the handle's end
    const int32_t left = background->getWidth() - 111 + track->getWidth() + 18;
    const CRect sliderSize(left, kSliderTop, left + track->getWidth(),
                           kSliderTop + track->getHeight());
    const int32_t maxPos = kSliderTop + track->getHeight() - handle->getHeight() - 1;
    delaySlider = new CVerticalSlider(sliderSize, this, kDelayIndex, kSliderTop, maxPos, handle,
                                      track, CPoint(0, 0), kVertical | kBottom);
    delaySlider->setOffsetHandle(CPoint(1, 0));
    delaySlider->setValue(effect->getParameter(kDelayIndex));
    delaySlider->setDefaultValue(0.5f);
    frame->addView(delaySlider);

    // display just above the slider
    delayDisplay = new CParamDisplay(CRect(left - 5, kDisplayTop, left + 22, kDisplayBottom));
    delayDisplay->setFont(kFontArial10);
    delayDisplay->setFontColor(kBlackColor);
    delayDisplay->setBackColor(kPanelColor);
    delayDisplay->setFrameColor(kPanelColor);
    delayDisplay->setValue(effect->getParameter(kDelayIndex));
    delayDisplay->setStringConvert(delayStringConvert);
    frame->addView(delayDisplay);
}

void ADEditor::addSwitches(CBitmap* modeImages, CBitmap* rmsModeImages) {
    // a switch shows one stacked frame of its images per position
    auto lampSwitch = [&](int32_t left, int32_t top, int32_t tag, CBitmap* images,
                          int32_t positions) {
        const int32_t height = images->getHeight() / positions;
        CVerticalSwitch* control =
            new CVerticalSwitch(CRect(left, top, left + images->getWidth(), top + height), this,
                                tag, positions, height, positions, images, CPoint(0, 0));
        control->setDefaultValue(0.0f);
        control->setValue(effect->getParameter(tag));
        frame->addView(control);
        return control;
    };
    // two three-lamp switches on the left, one above the other, and a two-lamp switch beside
    // the meters
    modeSwitch = lampSwitch(kSwitchLeft, kModeSwitchTop, kModeIndex, modeImages, 3);
    respSwitch = lampSwitch(kSwitchLeft, kRespSwitchTop, kRespIndex, modeImages, 3);
    rmsModeSwitch =
        lampSwitch(kRmsModeSwitchLeft, kRmsModeSwitchTop, kRmsModeIndex, rmsModeImages, 2);
}

void ADEditor::addMeters(CBitmap* meterOn, CBitmap* meterOff) {
    // one row per channel; the three meters of a row share its rectangle
    auto meterSize = [&](int32_t channel) {
        const int32_t top = kMeterTops[channel];
        return CRect(kMeterLeft, top, kMeterLeft + meterOn->getWidth(), top + meterOn->getHeight());
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
    opened = false;
    if (frame) frame->forget();
    frame = nullptr;
}

void ADEditor::setParameter(int32_t index, float value) {
    (void)value; // the value is always read back from the effect
    if (!opened) return;

    switch (index) {
    case kDelayIndex:
        delaySlider->setValue(effect->getParameter(index));
        delayDisplay->setValue(effect->getParameter(index));
        break;
    case kRmsLevelIndex:
    case kPeakLevelIndex:
    case kHoldLevelIndex:
        refreshMeters(index);
        break;
    case kModeIndex:
        modeSwitch->setValue(effect->getParameter(index));
        break;
    case kRespIndex:
        respSwitch->setValue(effect->getParameter(index));
        break;
    case kRmsModeIndex:
        rmsModeSwitch->setValue(effect->getParameter(index));
        break;
    default:
        break;
    }
    postUpdate();
}

bool ADEditor::decodeMeter(int32_t index, int32_t& channel, float& level) {
    // channel + level / 2; a reading of no channel of the two (or no number) shows nowhere
    const float reading = effect->getParameter(index);
    if (!(reading >= 0.0f && reading < static_cast<float>(kChannels))) return false;
    channel = static_cast<int32_t>(reading);
    level = (reading - static_cast<float>(channel)) * 2.0f;
    return true;
}

void ADEditor::refreshMeters(int32_t index) {
    int32_t c = 0;
    float level = 0.0f;
    if (!decodeMeter(index, c, level)) return;

    // a redrawn bar covers the markers of its row, and a moved marker needs the bar repainted
    if (index == kRmsLevelIndex) {
        rmsMeters[c]->setValue(level);
        peakMeters[c]->setDirty(true);
        holdMeters[c]->setDirty(true);
    } else if (index == kPeakLevelIndex) {
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
