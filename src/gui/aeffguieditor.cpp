#include "gui/aeffguieditor.h"

#include "gui/cframe.h"
#include "shell/audioeffect.h"

std::atomic<int32_t> AEffGUIEditor::knobMode = 0;

namespace {
// Sleep of the pump between full passes, and how far a full pass pushes the next one.
constexpr uint32_t kIdleSleep = 4;
constexpr uint32_t kIdleAdvance = 100;
constexpr uint32_t kIdleEarly = 50;
} // namespace

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect) {
    if (effect) effect->setEditor(this);
    lastTicks = quorvane::platform::tickCount();
}

AEffGUIEditor::~AEffGUIEditor() {
    if (frame) frame->forget();
    frame = nullptr;
}

int32_t AEffGUIEditor::getRect(ERect** out) {
    *out = &rect;
    return 1;
}

int32_t AEffGUIEditor::open(void* ptr) {
    postUpdate();
    systemWindow = ptr;
    return 0;
}

void AEffGUIEditor::idle() {
    if (inIdle) return;
    AEffEditor::idle();
    if (frame) frame->idle();
}

int32_t AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) {
    return frame ? frame->onKeyDown(keyCode) : -1;
}

int32_t AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) {
    return frame ? frame->onKeyUp(keyCode) : -1;
}

int32_t AEffGUIEditor::setKnobMode(int32_t val) {
    knobMode.store(val);
    return 1;
}

bool AEffGUIEditor::onWheel(float distance) {
    return frame ? frame->onWheel(nullptr, VSTGUI::CPoint{0, 0}, distance) : false;
}

void AEffGUIEditor::setParameter(int32_t index, float value) {
    (void)index;
    (void)value;
    postUpdate();
}

void AEffGUIEditor::draw(ERect* area) {
    (void)area;
    if (frame) frame->draw();
}

void AEffGUIEditor::doIdleStuff() {
    // pace: between full passes only sleep
    uint32_t now = quorvane::platform::tickCount();
    if (now < lastTicks) {
        quorvane::platform::sleepMilliseconds(kIdleSleep);
        now += kIdleSleep;
        if (now < lastTicks - kIdleEarly) return;
    }
    // redraw and let one pending repaint run
    idle();
    quorvane::platform::runOnePendingRepaint();
    lastTicks = now + kIdleAdvance;
    // let the host idle; an idle request it sends back returns at once
    inIdle = true;
    if (effect) effect->masterIdle();
    inIdle = false;
}
