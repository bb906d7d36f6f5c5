#include "gui/platform/headless/headless.h"

#include "gui/platform/headless/headlessstate.h"
#include "gui/platform/headless/headlesswindow.h"
#include "gui/platform/raster/rasterdevice.h"

#include <algorithm>
#include <map>
#include <mutex>

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

namespace {

// Registered pictures by resource id (modulo 65536); they outlive reset().
struct Registry {
    std::mutex mutex;
    std::map<int32_t, std::shared_ptr<const raster::PixelBuffer>> pictures;
};
Registry& registry() {
    static Registry r;
    return r;
}

} // namespace

void registerBitmap(int32_t id, const raster::PixelBuffer& pixels) {
    auto picture = std::make_shared<const raster::PixelBuffer>(pixels);
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.pictures[id & 0xFFFF] = std::move(picture);
}
void unregisterBitmap(int32_t id) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.pictures.erase(id & 0xFFFF);
}
std::shared_ptr<const raster::PixelBuffer> registeredBitmap(int32_t id) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.pictures.find(id & 0xFFFF);
    return it == r.pictures.end() ? nullptr : it->second;
}

} // namespace quorvane::headless
