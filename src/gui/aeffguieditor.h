#pragma once
// Editor base of the toolkit: owns the frame while open, forwards keys and the wheel to it,
// redraws on idle and keeps editor and host alive while a control tracks the mouse.

#include "shell/aeffeditor.h"

#include <atomic>
#include <cstdint>

namespace VSTGUI {
class CFrame;
}

// Registers itself as the effect's editor at construction; the effect owns it. The derived
// editor creates the frame in open and destroys it in close.
//
// Threads. The editor's thread is the one that opens it: open, close, idle, the key and wheel
// requests, draw and doIdleStuff run there, and only there is the frame, a view or a window
// touched. postUpdate and setParameter may come on any thread and only set atomics; the knob
// mode is a process-wide atomic. A host may re-enter the editor from inside audioMasterIdle
// (doIdleStuff): idle then returns at once, and a close there lets go of the frame, which
// stays alive until the tracking loop under it has left (see CControl::trackingIdle). Never
// throws.
class AEffGUIEditor : public AEffEditor {
public:
    explicit AEffGUIEditor(AudioEffect* effect);
    // Destroys a frame that is still open.
    ~AEffGUIEditor() override;

    // A reference to the editor's own rect; answers 1.
    int32_t getRect(ERect** rect) override;
    // Posts an update and stores the parent window; answers 0.
    int32_t open(void* ptr) override;
    // The pending update, then the frame's redraw of dirty views; nothing while the pump waits
    // in the host's idle.
    void idle() override;
    // The frame's answer, or -1 without a frame.
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    int32_t onKeyUp(VstKeyCode& keyCode) override;
    // Stores the process-wide knob mode; answers 1.
    int32_t setKnobMode(int32_t val) override;
    bool onWheel(float distance) override;
    // True for the frame the editor holds.
    bool showsFrame(const void* frame) const override { return frame == this->frame; }

    // A parameter changed, on any thread: only posts an update.
    virtual void setParameter(int32_t index, float value);
    // Redraws the whole frame into its window; rect is not used.
    virtual void draw(ERect* rect);
    // The idle pump of tracking loops: sleeps 4 ms on most calls and, about every 50 ms, redraws,
    // lets one pending repaint run and lets the host idle.
    virtual void doIdleStuff();

    VSTGUI::CFrame* getFrame() const { return frame; }
    static int32_t getKnobMode() { return knobMode.load(); }

protected:
    ERect rect{};
    VSTGUI::CFrame* frame = nullptr;
    uint32_t lastTicks = 0;
    bool inIdle = false;

    static std::atomic<int32_t> knobMode;
};
