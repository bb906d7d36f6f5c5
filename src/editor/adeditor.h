#pragma once
// The effect's panel: a slider and a display for the delay, three lamp switches and two rows of
// stacked level meters, laid out from the sizes of the panel's bitmaps.

#include "gui/aeffguieditor.h"
#include "gui/ccontrollistener.h"

#include <cstdint>
#include <vector>

namespace VSTGUI {
class CBitmap;
class CControl;
class CDrawContext;
class CParamDisplay;
class CVerticalSlider;
class CVerticalSwitch;
class CVuMeter;
class CExtendedVuMeter;
} // namespace VSTGUI

// Text of the delay display: value * 300 truncated toward zero, as "%d"; saturates at the
// int32 range, NaN shows 0. text needs room for 12 characters.
void delayStringConvert(float value, char* text);

// Created by the effect, which owns it; registers itself as the effect's editor. Holds the
// background bitmap for its whole life; the frame it opens owns every control, so the control
// references are valid only while opened. Editor thread, except setParameter, which only sets
// values, dirty flags and the update flag.
class ADEditor : public AEffGUIEditor, public CControlListener {
public:
    // Loads the background and sets the editor rect from its size; nothing is opened.
    explicit ADEditor(AudioEffect* effect);
    // Closes a frame that is still open, then gives back the background.
    ~ADEditor() override;
    ADEditor(const ADEditor&) = delete;
    ADEditor& operator=(const ADEditor&) = delete;

    // Builds the frame in ptr and all eleven controls; an open frame is closed first. Answers 1.
    int32_t open(void* ptr) override;
    // Destroys the frame and every control; the meter arrays keep their two entries.
    void close() override;
    // Refreshes the controls of parameter index from the effect; nothing while closed.
    void setParameter(int32_t index, float value) override;
    // A control moved by the user: tells the effect (and so the host), then redraws the control.
    void valueChanged(VSTGUI::CDrawContext* context, VSTGUI::CControl* control) override;

    bool isOpened() const { return opened; }

protected:
    // A reading of a meter parameter: channel c and level L; false when no meter is addressed.
    bool decodeMeter(int32_t index, int32_t& channel, float& level);
    // The steps of open.
    void addDelayControls(VSTGUI::CBitmap* track, VSTGUI::CBitmap* handle);
    void addSwitches(VSTGUI::CBitmap* modeImages, VSTGUI::CBitmap* rmsModeImages);
    void addMeters(VSTGUI::CBitmap* meterOn, VSTGUI::CBitmap* meterOff);
    void refreshMeters(int32_t index);

    VSTGUI::CVerticalSlider* delaySlider = nullptr;
    VSTGUI::CParamDisplay* delayDisplay = nullptr;
    VSTGUI::CVerticalSwitch* modeSwitch = nullptr;
    VSTGUI::CVerticalSwitch* respSwitch = nullptr;
    VSTGUI::CVerticalSwitch* rmsModeSwitch = nullptr;
    std::vector<VSTGUI::CVuMeter*> rmsMeters;
    std::vector<VSTGUI::CExtendedVuMeter*> peakMeters;
    std::vector<VSTGUI::CExtendedVuMeter*> holdMeters;
    VSTGUI::CBitmap* background = nullptr;
    bool opened = false;
};
