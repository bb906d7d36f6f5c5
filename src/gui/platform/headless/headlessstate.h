#pragma once
// The process-wide state behind the headless back end (internal to the back end).

#include "gui/platform/headless/headless.h"

#include <deque>
#include <memory>

namespace quorvane::headless {

struct HeadlessState {
    uint32_t buttons = 0;
    bool swapped = false;
    platform::Point pointer;
    std::deque<InputStep> script;
    std::function<void(uint32_t)> pollHook;
    uint32_t buttonPolls = 0;
    uint32_t pointerPolls = 0;

    uint32_t ticks = 0;
    std::function<void(uint32_t)> sleepHook;
    uint32_t sleepCalls = 0;
    uint64_t slept = 0;

    struct Event {
        HeadlessWindow* window;
        bool paint; // else a press
        platform::Rect rect;
        platform::Point where;
        int32_t button;
    };
    std::deque<Event> events;
    uint32_t repaintsRun = 0;

    bool windowsAllowed = true;
    std::vector<HeadlessWindow*> windows;
};

HeadlessState& state();

// The picture registered as bitmap id, or null. Any thread: editors load bitmaps on their own.
std::shared_ptr<const raster::PixelBuffer> registeredBitmap(int32_t id);

} // namespace quorvane::headless
