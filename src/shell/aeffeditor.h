#pragma once
// Base editor: answers the host's editor requests with neutral defaults.

#include "shell/aeffect.h"

#include <atomic>

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
    virtual ~AEffEditor() = default;

    // Stores a null reference in *rect and answers 0.
    virtual int32_t getRect(ERect** rect) {
        *rect = nullptr;
        return 0;
    }
    virtual int32_t open(void* ptr) {
        systemWindow = ptr;
        return 0;
    }
    virtual void close() {}
    // Runs a pending update.
    virtual void idle() {
        if (updateFlag.exchange(0) != 0) update();
    }
    virtual void update() {}
    // Any thread: only marks the editor for an update at its next idle.
    virtual void postUpdate() { updateFlag.store(1); }
    virtual int32_t onKeyDown(VstKeyCode& keyCode) {
        (void)keyCode;
        return -1;
    }
    virtual int32_t onKeyUp(VstKeyCode& keyCode) {
        (void)keyCode;
        return -1;
    }
    virtual int32_t setKnobMode(int32_t val) {
        (void)val;
        return 0;
    }
    virtual bool onWheel(float distance) {
        (void)distance;
        return false;
    }
    // Whether the window content this editor shows while open is the given one (the toolkit's
    // frame asks it, to know that its editor has let go of it); an editor without one has none.
    virtual bool showsFrame(const void* frame) const {
        (void)frame;
        return false;
    }

    AudioEffect* getEffect() const { return effect; }

protected:
    AEffEditor() = default;

    AudioEffect* effect = nullptr;
    void* systemWindow = nullptr;
    std::atomic<int32_t> updateFlag = 0;
};
