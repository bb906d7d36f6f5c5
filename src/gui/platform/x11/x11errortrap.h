#pragma once
// Keeps X errors caused by the plug-in's own requests away from the host's error handler (whose
// default ends the process) and turns them into a failure the caller can see.

#include <X11/Xlib.h>

namespace quorvane::x11 {

// While a trap lives, errors on its display are recorded instead of reported, and a broken
// connection of the plug-in's own is marked lost instead of ending the process; errors and
// broken connections of every other connection go on to the handlers installed before. The
// destructor waits until the server has answered every request made so far (XSync), so no error of
// the trapped work can surface later. Traps nest on one thread and live on several editor threads
// at once (each with connections of its own): the handlers of the process are ours from the
// first live trap until the last one ends, then the previous ones are back.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits for the server's answers and tells whether any request since construction failed.
    bool failed();
    // The X error code of the first failure, 0 when none.
    int errorCode() const { return errorCode_; }

private:
    static int handle(Display* display, XErrorEvent* event);

    Display* display_;
    ErrorTrap* outer_;
    int errorCode_ = 0;
};

// A connection whose link to the server broke. Xlib's default answer is to end the process;
// the plug-in's connections tell Xlib to return instead, and from then on nothing is sent on
// them (traps on them report failure at once). Safe from any editor thread.
void watchConnection(Display* display);
bool connectionLost(Display* display);
// Forgets display before it is closed.
void unwatchConnection(Display* display);
// Called with the display whose connection broke, after it is marked lost.
void setConnectionLostHandler(void (*handler)(Display* display));

} // namespace quorvane::x11
