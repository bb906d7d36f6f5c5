// The platform operations of the X11 back end. Every question about the input and every wait
// first shows what open window devices drew, so a press's pictures are on the screen before a
// drag loop polls again, as with a window device context.

#include "gui/platform/x11/x11connection.h"
#include "gui/platform/x11/x11errortrap.h"
#include "gui/platform/x11/x11pointer.h"
#include "gui/platform/x11/x11window.h"

#include <cerrno>
#include <ctime>

namespace quorvane::platform {

namespace {

// A connection for a question about the input: that of the calling thread's first open window
// (a connection is only ever used on the thread of its window), or a short-lived one of its own
// while the thread has none.
class AnyConnection {
public:
    AnyConnection() {
        for (x11::X11Window* window : x11::X11Window::openWindows()) {
            if (x11::connectionLost(window->display())) continue;
            display_ = window->display();
            return;
        }
        display_ = x11::openConnection();
        own_ = display_ != nullptr;
    }
    ~AnyConnection() {
        if (own_) x11::closeConnection(display_);
    }
    AnyConnection(const AnyConnection&) = delete;
    AnyConnection& operator=(const AnyConnection&) = delete;
    Display* get() const { return display_; }

private:
    Display* display_ = nullptr;
    bool own_ = false;
};

} // namespace

std::unique_ptr<Window> createChildWindow(void* parent, int32_t width, int32_t height,
                                          WindowEvents* events) {
    try {
        return x11::X11Window::create(parent, width, height, events);
    } catch (...) {
        return nullptr;
    }
}

uint32_t physicalButtons() {
    x11::X11Window::presentOpenDevices();
    uint32_t bits = 0;
    Point root;
    if (x11::replayedState(bits, root)) return bits;
    AnyConnection connection;
    if (!connection.get()) return 0;
    Point position;
    unsigned mask = 0;
    if (!x11::queryPointer(connection.get(), position, mask)) return 0;
    return x11::buttonBits(mask);
}

bool buttonsSwapped() {
    AnyConnection connection;
    if (!connection.get()) return false;
    return x11::readPointerMapping(connection.get());
}

Point pointerScreenPosition() {
    x11::X11Window::presentOpenDevices();
    uint32_t bits = 0;
    Point position;
    if (x11::replayedState(bits, position)) return position;
    AnyConnection connection;
    unsigned mask = 0;
    if (connection.get()) x11::queryPointer(connection.get(), position, mask);
    return position;
}

uint32_t tickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
    return uint32_t(ms);
}

void sleepMilliseconds(uint32_t ms) {
    x11::X11Window::presentOpenDevices();
    timespec delay{time_t(ms / 1000), long(ms % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

bool runOnePendingRepaint() {
    x11::X11Window::presentOpenDevices();
    // the calling thread's windows only, as a copy: every window is painted on the thread that
    // owns it, and a paint may open or close windows
    const std::vector<x11::X11Window*> windows = x11::X11Window::openWindows();
    for (x11::X11Window* window : windows) {
        if (window->paintOnePending()) return true;
    }
    return false;
}

} // namespace quorvane::platform
