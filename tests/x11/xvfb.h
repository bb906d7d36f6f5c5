#pragma once
// A private X server for the tests: Xvfb on a display number it chooses itself, started before
// the first test and stopped after the last. DISPLAY points at it meanwhile.

#include "gui/platform/raster/pixelbuffer.h"
#include "panelgestures.h"

#include <chrono>
#include <functional>
#include <string>
#include <X11/Xlib.h>

namespace quorvane::x11test {

// The display name of the running server, for example ":3".
const std::string& displayName();

// A connection of the test's own (the "host" side), opened on the test server.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Display* get() const { return display_; }
    operator Display*() const { return display_; }

private:
    Display* display_;
};

// A mapped top-level window without decorations at (x, y), as a host's editor window.
::Window makeHostWindow(Display* display, int x, int y, int width, int height);

// The window's pixels as 0x00RRGGBB.
raster::PixelBuffer grab(Display* display, ::Window window, int width, int height);

// Calls step until it answers true or timeout passes; answers the last result.
bool waitFor(const std::function<bool()>& step,
             std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

// Real input through the XTEST extension, flushed to the server at once.
void movePointer(Display* display, int x, int y);
void pressButton(Display* display, unsigned button, bool down);
void pressKey(Display* display, unsigned long keysym, bool down);

// The panel gestures through XTEST, on a panel whose top-left corner is at (left, top) on the
// screen.
class XTestHand : public paneltest::Hand {
public:
    explicit XTestHand(Display* display, int left = paneltest::kHostLeft,
                       int top = paneltest::kHostTop)
        : display_(display), left_(left), top_(top) {}
    void move(paneltest::Point to) override { movePointer(display_, left_ + to.x, top_ + to.y); }
    void button(bool down) override { pressButton(display_, 1, down); }
    void control(bool down) override;
    void wait(int ms) override;

private:
    Display* display_;
    int left_, top_;
};

// The number of children of window.
unsigned childCount(Display* display, ::Window window);

// Open file descriptors of this process.
int openDescriptors();

} // namespace quorvane::x11test
