#pragma once
// The effect's panel: a slider and a display for the delay, three lamp switches and two rows of
// stacked level meters, laid out from the sizes of the panel's bitmaps.

#include "gui/aeffguieditor.h"
#include "gui/ccontrollistener.h"

#include <atomic>
#include <cstdint>
#include <thread>
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
// references are valid only while opened.
//
// Threads. Everything runs on the editor's thread (the one that opened it) except
// setParameter, which the effect calls on whatever thread set the parameter. On the editor's
// thread setParameter refreshes the controls at once, as before. On any other thread it touches
// no control: it records what changed in atomics (which controls must read the effect's value
// again, and for each meter the level of the latest reading addressed to it, decoded on
// arrival) and posts an update; update, run by the next idle before the frame redraws, applies
// the record on the editor's thread. No lock is taken anywhere.
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
    // Any thread. Refreshes the controls of parameter index (at once on the editor's thread,
    // at the next idle on any other) and posts an update; nothing while closed.
    void setParameter(int32_t index, float value) override;
    // Applies the changes that other threads recorded since the last idle.
    void update() override;
    // A control moved by the user: tells the effect (and so the host), then redraws the control.
    void valueChanged(VSTGUI::CDrawContext* context, VSTGUI::CControl* control) override;

    bool isOpened() const { return opened.load(); }

protected:
    static constexpr int32_t kChannels = 2;
    static constexpr int32_t kMeterKinds = 3; // RMS, peak, hold: parameters 1, 2 and 3

    // A meter reading value: channel c and level L; false when it addresses no meter.
    static bool decodeMeter(float reading, int32_t& channel, float& level);
    // The steps of open.
    void addDelayControls(VSTGUI::CBitmap* track, VSTGUI::CBitmap* handle);
    void addSwitches(VSTGUI::CBitmap* modeImages, VSTGUI::CBitmap* rmsModeImages);
    void addMeters(VSTGUI::CBitmap* meterOn, VSTGUI::CBitmap* meterOff);
    // Editor thread: the controls of parameter index take the effect's value.
    void refreshControls(int32_t index);
    // Editor thread: meter parameter index shows level on channel's meter.
    void refreshMeter(int32_t index, int32_t channel, float level);
    // Any other thread: what refreshControls and refreshMeter would do, for update to apply.
    void recordChange(int32_t index, float value);

    VSTGUI::CVerticalSlider* delaySlider = nullptr;
    VSTGUI::CParamDisplay* delayDisplay = nullptr;
    VSTGUI::CVerticalSwitch* modeSwitch = nullptr;
    VSTGUI::CVerticalSwitch* respSwitch = nullptr;
    VSTGUI::CVerticalSwitch* rmsModeSwitch = nullptr;
    std::vector<VSTGUI::CVuMeter*> rmsMeters;
    std::vector<VSTGUI::CExtendedVuMeter*> peakMeters;
    std::vector<VSTGUI::CExtendedVuMeter*> holdMeters;
    VSTGUI::CBitmap* background = nullptr;
    std::atomic<bool> opened = false;
    std::atomic<std::thread::id> editorThread;
    // Changes recorded by other threads: a bit per parameter whose controls read the effect's
    // value again; a bit per meter (kind * kChannels + channel) with its latest level.
    std::atomic<uint32_t> pendingControls = 0;
    std::atomic<uint32_t> pendingMeters = 0;
    std::atomic<float> pendingLevels[kMeterKinds][kChannels] = {};
};
