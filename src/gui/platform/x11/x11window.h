#pragma once
// The editor's window on X11: a borderless child of the host's window on a connection of its own,
// painted from a pixel buffer that the raster engine draws into.

#include "gui/platform/platform.h"
#include "gui/platform/raster/pixelbuffer.h"

#include <memory>
#include <thread>
#include <vector>
#include <X11/Xlib.h>

namespace quorvane::x11 {

class Surface;
class DndTarget;

// Made by platform::createChildWindow. Events are read only when the owner asks
// (dispatchPendingEvents, paintOnePending): the window has no thread. Every request runs inside
// an error trap, so a parent the host destroyed or never had ends as a dead window, never as an
// error sent to the host's handler. Each window belongs to the thread that made it: every call on
// it comes from that thread, and editors on other threads have windows of their own (the list
// of open windows is shared under a lock). Never throws.
//
// The plug-in does not call XInitThreads: it must precede every other Xlib call of the process,
// which only the host can promise, and libX11 1.8 and later make that call themselves when
// loaded. Nothing here relies on it either, as a connection is only used on its window's thread.
class X11Window : public platform::Window {
public:
    // Null when there is no display, parent is not a window, or the window cannot be made.
    static std::unique_ptr<X11Window> create(void* parent, int32_t width, int32_t height,
                                             platform::WindowEvents* events);
    // Destroys the window (if it still exists) and closes the connection.
    ~X11Window() override;

    void setSize(int32_t width, int32_t height) override;
    int32_t width() const override { return pixels_.width(); }
    int32_t height() const override { return pixels_.height(); }
    platform::Point screenOrigin() const override;
    std::unique_ptr<platform::Device> openDevice() override;
    bool setDropEnabled(bool enabled) override;

    // Delivers every event waiting on the connection: paints, button-downs and drops.
    void dispatchPendingEvents() override;
    // Paints one waiting exposure, leaving other events queued; true when one ran.
    bool paintOnePending();
    // Puts rect of the window's pixels on the screen.
    void present(const platform::Rect& rect);

    Display* display() const { return display_; }
    ::Window id() const { return window_; }
    // False once the window is gone (destroyed with its parent, or a request on it failed).
    bool alive() const { return alive_; }
    bool sharedMemory() const;
    const raster::PixelBuffer& pixels() const { return pixels_; }

    // Puts on the screen what the devices open on the calling thread drew since they last did.
    // The input queries, sleeps and pending repaints call it, so a drag loop's pictures show
    // before it looks at the pointer again.
    static void presentOpenDevices();
    // Marks every window on display dead once its connection broke.
    static void connectionBroke(Display* display);

    // The windows the calling thread opened and has not closed, oldest first (a copy).
    static std::vector<X11Window*> openWindows();
    // Whether window is still the open window with this serial (a window freed meanwhile may
    // have left its address to a new one).
    static bool isOpen(const X11Window* window, uint64_t serial);

private:
    X11Window(Display* display, platform::WindowEvents* events);
    bool build(::Window parent, int32_t width, int32_t height);
    void handle(XEvent& event);
    // Plays a press back to the drag loops when its release came before the editor saw it.
    bool replayIfReleased(const XButtonEvent& press);
    void paint(const platform::Rect& rect);
    void markDead();

    Display* display_;
    platform::WindowEvents* events_;
    ::Window window_ = 0;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    bool alive_ = false;
    raster::PixelBuffer pixels_;
    std::unique_ptr<Surface> surface_;
    std::unique_ptr<DndTarget> dnd_;
    std::thread::id owner_;
    uint64_t serial_ = 0;
};

} // namespace quorvane::x11
