#include "gui/platform/headless/headlesswindow.h"

#include "gui/platform/headless/headlessstate.h"
#include "gui/platform/raster/rasterdevice.h"

#include <algorithm>

namespace quorvane::headless {

HeadlessWindow::HeadlessWindow(void* parent, int32_t width, int32_t height,
                               platform::WindowEvents* events)
    : parent_(parent), events_(events), pixels_(width, height, raster::kWindowBackground) {
    state().windows.push_back(this);
}

HeadlessWindow::~HeadlessWindow() {
    HeadlessState& s = state();
    s.windows.erase(std::remove(s.windows.begin(), s.windows.end(), this), s.windows.end());
    dropQueuedEvents();
}

void HeadlessWindow::dropQueuedEvents() {
    auto& q = state().events;
    q.erase(std::remove_if(q.begin(), q.end(), [this](const auto& e) { return e.window == this; }),
            q.end());
}

void HeadlessWindow::dispatchPendingEvents() {
    auto& q = state().events;
    for (auto it = q.begin(); it != q.end();) {
        if (it->window != this) {
            ++it;
            continue;
        }
        const HeadlessState::Event e = *it;
        q.erase(it);
        if (e.paint) {
            ++state().repaintsRun;
            paint(e.rect);
        } else {
            press(e.where, e.button);
        }
        it = q.begin(); // a handler may have queued or removed events
    }
}

void HeadlessWindow::destroyByParent() {
    if (destroyed_) return;
    dropQueuedEvents();
    destroyed_ = true;
    if (events_) events_->onDestroyed();
}

void HeadlessWindow::setSize(int32_t width, int32_t height) {
    pixels_.resize(width, height, raster::kWindowBackground);
}

std::unique_ptr<platform::Device> HeadlessWindow::openDevice() {
    ++devicesOpened_;
    return std::make_unique<raster::RasterDevice>(pixels_);
}

bool HeadlessWindow::setDropEnabled(bool enabled) {
    dropEnabled_ = enabled;
    return true;
}

void HeadlessWindow::paint(const platform::Rect& rect) {
    if (!events_ || destroyed_) return;
    raster::RasterDevice device(pixels_);
    events_->onPaint(device, rect);
}

void HeadlessWindow::press(platform::Point where, int32_t button) {
    static constexpr uint32_t kBits[3] = {kLeft, kMiddle, kRight};
    HeadlessState& s = state();
    if (button >= 0 && button < 3) s.buttons |= kBits[button];
    s.pointer = {origin_.x + where.x, origin_.y + where.y};
    if (events_ && !destroyed_) events_->onButtonDown(where, button);
}

bool HeadlessWindow::drop(void** items, int32_t count, int32_t type, platform::Point where) {
    return dropEnabled_ && events_ && !destroyed_ && events_->onDrop(items, count, type, where);
}

} // namespace quorvane::headless
