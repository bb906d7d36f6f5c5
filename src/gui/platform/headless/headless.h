#pragma once
// Test control of the headless back end: no screen; windows and offscreen surfaces draw into
// memory, and the input state, the clock and the pending repaints are set by the test.
//
// A tracking loop polls platform::physicalButtons(), reads platform::pointerScreenPosition()
// and calls the idle pump, which reads tickCount() and sleeps. To drive such a loop pass by
// pass, queue one InputStep per pass: each button poll first applies the next queued step.
// Sleeps advance the fake clock by exactly the time asked for. Process-wide state, one thread.

#include "gui/platform/platform.h"
#include "gui/platform/raster/pixelbuffer.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace quorvane::headless {

class HeadlessWindow;

// Physical button bits, as platform::physicalButtons() reports them.
inline constexpr uint32_t kLeft = platform::kButtonLeft;
inline constexpr uint32_t kMiddle = platform::kButtonMiddle;
inline constexpr uint32_t kRight = platform::kButtonRight;
inline constexpr uint32_t kShiftKey = platform::kModifierShift;
inline constexpr uint32_t kControlKey = platform::kModifierControl;
inline constexpr uint32_t kAltKey = platform::kModifierAlt;

// Everything back to the start: no buttons, pointer (0, 0), not swapped, clock 0, no queued
// steps, no hooks, counters 0, no pending repaints, window creation allowed. Windows that are
// still open and registered bitmaps stay.
void reset();

// --- input
void setButtons(uint32_t physicalBits);
uint32_t buttons();
void setSwapped(bool swapped);
void setPointer(platform::Point screen);
platform::Point pointer();

// One pass of a scripted drag: the state the next button poll sees.
struct InputStep {
    uint32_t buttons = 0;
    platform::Point pointer; // screen coordinates
};
// Appends steps; each platform::physicalButtons() call applies the next one (if any) before
// it answers. When the queue is empty the state stays as the last step left it.
void queueInput(const std::vector<InputStep>& steps);
size_t queuedInput();
// Called at every button poll after the queued step is applied, with the poll number (1 for
// the first poll after reset). May change the state with setButtons/setPointer.
void setPollHook(std::function<void(uint32_t poll)> hook);
uint32_t buttonPolls();
uint32_t pointerPolls();

// --- clock
void setTicks(uint32_t ms);
uint32_t ticks();
// Called at every sleep after the clock advanced, with the time slept.
void setSleepHook(std::function<void(uint32_t ms)> hook);
uint32_t sleepCalls();
uint64_t sleptMilliseconds();

// --- pending window events
// Queues a repaint of rect for window (as a window system would after an exposure). It runs
// through platform::runOnePendingRepaint() or the window's dispatchPendingEvents().
void postRepaint(HeadlessWindow& window, const platform::Rect& rect);
// Queues a click for the window's dispatchPendingEvents(): when delivered, it acts as
// HeadlessWindow::press.
void postPress(HeadlessWindow& window, platform::Point where, int32_t button = 0);
// Queued repaints (of all windows) and queued events of any kind.
size_t pendingRepaints();
size_t pendingEvents();
uint32_t repaintsRun();

// --- windows
// false makes createChildWindow fail (answer null) until set back to true.
void setWindowCreationAllowed(bool allowed);
// Open windows in the order they were created.
const std::vector<HeadlessWindow*>& windows();
HeadlessWindow* lastWindow();

// --- pixels
// The pixels behind a headless window's device, an offscreen surface's device, or an image;
// null for anything else.
const raster::PixelBuffer* pixelsOf(const platform::Device* device);
const raster::PixelBuffer* pixelsOf(const platform::Image* image);

// --- bitmaps
// Makes pixels the bitmap resource id (replacing an embedded one of the same id).
void registerBitmap(int32_t id, const raster::PixelBuffer& pixels);
void unregisterBitmap(int32_t id);

} // namespace quorvane::headless
