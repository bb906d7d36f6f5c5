#include "gui/platform/headless/headless.h"

#include "gui/platform/headless/headlessstate.h"
#include "gui/platform/headless/headlesswindow.h"
#include "gui/platform/raster/rasterdevice.h"
#include "gui/platform/raster/resourcetable.h"

#include <algorithm>

namespace quorvane::headless {

HeadlessState& state() {
    static HeadlessState s;
    return s;
}

void reset() {
    HeadlessState& s = state();
    std::vector<HeadlessWindow*> open = std::move(s.windows);
    s = HeadlessState();
    s.windows = std::move(open);
}

void setButtons(uint32_t physicalBits) {
    state().buttons = physicalBits;
}
uint32_t buttons() {
    return state().buttons;
}
void setSwapped(bool swapped) {
    state().swapped = swapped;
}
void setPointer(platform::Point screen) {
    state().pointer = screen;
}
platform::Point pointer() {
    return state().pointer;
}

void queueInput(const std::vector<InputStep>& steps) {
    state().script.insert(state().script.end(), steps.begin(), steps.end());
}
size_t queuedInput() {
    return state().script.size();
}
void setPollHook(std::function<void(uint32_t poll)> hook) {
    state().pollHook = std::move(hook);
}
uint32_t buttonPolls() {
    return state().buttonPolls;
}
uint32_t pointerPolls() {
    return state().pointerPolls;
}

void setTicks(uint32_t ms) {
    state().ticks = ms;
}
uint32_t ticks() {
    return state().ticks;
}
void setSleepHook(std::function<void(uint32_t ms)> hook) {
    state().sleepHook = std::move(hook);
}
uint32_t sleepCalls() {
    return state().sleepCalls;
}
uint64_t sleptMilliseconds() {
    return state().slept;
}

void postRepaint(HeadlessWindow& window, const platform::Rect& rect) {
    state().events.push_back({&window, true, rect, {}, 0});
}
void postPress(HeadlessWindow& window, platform::Point where, int32_t button) {
    state().events.push_back({&window, false, {}, where, button});
}
size_t pendingRepaints() {
    const auto& q = state().events;
    return size_t(std::count_if(q.begin(), q.end(), [](const auto& e) { return e.paint; }));
}
size_t pendingEvents() {
    return state().events.size();
}
uint32_t repaintsRun() {
    return state().repaintsRun;
}

void setWindowCreationAllowed(bool allowed) {
    state().windowsAllowed = allowed;
}
const std::vector<HeadlessWindow*>& windows() {
    return state().windows;
}
HeadlessWindow* lastWindow() {
    return state().windows.empty() ? nullptr : state().windows.back();
}

const raster::PixelBuffer* pixelsOf(const platform::Device* device) {
    const auto* raster = dynamic_cast<const raster::RasterDevice*>(device);
    return raster ? &raster->target() : nullptr;
}

const raster::PixelBuffer* pixelsOf(const platform::Image* image) {
    return image ? raster::pixelsOf(*image) : nullptr;
}

void registerBitmap(int32_t id, const raster::PixelBuffer& pixels) {
    raster::ResourceTable::instance().addPixels(id, pixels);
}
void unregisterBitmap(int32_t id) {
    raster::ResourceTable::instance().remove(id);
}

} // namespace quorvane::headless
