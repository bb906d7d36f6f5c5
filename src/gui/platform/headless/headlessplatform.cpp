// The platform operations of the headless back end: memory surfaces and scripted input.

#include "gui/platform/headless/headlessstate.h"
#include "gui/platform/headless/headlesswindow.h"
#include "gui/platform/raster/resourcetable.h"

#include <algorithm>
#include <new>

namespace quorvane::platform {

using headless::HeadlessState;
using headless::state;

std::unique_ptr<Window> createChildWindow(void* parent, int32_t width, int32_t height,
                                          WindowEvents* events) {
    if (!state().windowsAllowed) return nullptr;
    try {
        return std::make_unique<headless::HeadlessWindow>(parent, width, height, events);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// The pictures tests register first, then the bitmaps compiled into the binary. This replaces
// the raster engine's loadBitmap, which knows only the latter.
std::unique_ptr<Image> loadBitmap(int32_t id) {
    try {
        if (auto pixels = headless::registeredBitmap(id)) {
            return std::make_unique<raster::RasterImage>(*pixels);
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return raster::ResourceTable::instance().load(id);
}

uint32_t physicalButtons() {
    HeadlessState& s = state();
    ++s.buttonPolls;
    if (!s.script.empty()) {
        s.buttons = s.script.front().buttons;
        s.pointer = s.script.front().pointer;
        s.script.pop_front();
    }
    if (s.pollHook) s.pollHook(s.buttonPolls);
    return s.buttons;
}

bool buttonsSwapped() {
    return state().swapped;
}

Point pointerScreenPosition() {
    ++state().pointerPolls;
    return state().pointer;
}

uint32_t tickCount() {
    return state().ticks;
}

void sleepMilliseconds(uint32_t ms) {
    HeadlessState& s = state();
    s.ticks += ms;
    ++s.sleepCalls;
    s.slept += ms;
    if (s.sleepHook) s.sleepHook(ms);
}

bool runOnePendingRepaint() {
    auto& q = state().events;
    auto it = std::find_if(q.begin(), q.end(), [](const auto& e) { return e.paint; });
    if (it == q.end()) return false;
    const HeadlessState::Event e = *it;
    q.erase(it);
    ++state().repaintsRun;
    e.window->paint(e.rect);
    return true;
}

} // namespace quorvane::platform
