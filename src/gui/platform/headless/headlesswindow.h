#pragma once
// A window of the headless back end: a pixel buffer in memory with a settable screen position.

#include "gui/platform/platform.h"
#include "gui/platform/raster/pixelbuffer.h"

namespace quorvane::headless {

// Made by platform::createChildWindow; tests reach it through headless::windows().
class HeadlessWindow : public platform::Window {
public:
    HeadlessWindow(void* parent, int32_t width, int32_t height, platform::WindowEvents* events);
    ~HeadlessWindow() override;

    void setSize(int32_t width, int32_t height) override;
    int32_t width() const override { return pixels_.width(); }
    int32_t height() const override { return pixels_.height(); }
    platform::Point screenOrigin() const override { return origin_; }
    std::unique_ptr<platform::Device> openDevice() override;
    bool setDropEnabled(bool enabled) override;
    // Delivers the events queued for this window with postRepaint/postPress, in order.
    void dispatchPendingEvents() override;

    // --- for tests
    void setScreenOrigin(platform::Point origin) { origin_ = origin; }
    void* parent() const { return parent_; }
    raster::PixelBuffer& pixels() { return pixels_; }
    const raster::PixelBuffer& pixels() const { return pixels_; }
    int32_t devicesOpened() const { return devicesOpened_; }

    // Paints rect now, through the events' onPaint (nothing once destroyed).
    void paint(const platform::Rect& rect);
    // A click: the button (0 left, 1 middle, 2 right) goes down physically, the pointer moves
    // to where (window coordinates) and onButtonDown is delivered. The button stays down.
    void press(platform::Point where, int32_t button = 0);
    // Delivers a drop if drops are enabled; answers onDrop's result (false when disabled).
    bool drop(void** items, int32_t count, int32_t type, platform::Point where);
    // The host destroyed the parent: queued events are dropped, onDestroyed is delivered and
    // no event is delivered afterwards.
    void destroyByParent();
    bool destroyed() const { return destroyed_; }

private:
    void dropQueuedEvents();

    void* parent_;
    platform::WindowEvents* events_;
    raster::PixelBuffer pixels_;
    platform::Point origin_;
    bool dropEnabled_ = false;
    bool destroyed_ = false;
    int32_t devicesOpened_ = 0;
};

} // namespace quorvane::headless
