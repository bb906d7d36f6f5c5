#include "gui/platform/x11/x11errortrap.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace quorvane::x11 {

namespace {

// What every editor thread shares, behind one mutex (editor threads only; the audio thread
// never gets here). Xlib's error handlers are process-wide: the first live trap of the process
// installs ours and the last one to end puts back what was there before, so traps on several
// threads never undo each other's handler.
struct Shared {
    std::mutex mutex;
    int liveTraps = 0;
    XErrorHandler hostHandler = nullptr;
    XIOErrorHandler hostIOHandler = nullptr;
    std::vector<Display*> watched;
    std::vector<Display*> lost;
    void (*lostHandler)(Display*) = nullptr;
};

Shared& shared() {
    static Shared s;
    return s;
}

bool contains(const std::vector<Display*>& list, Display* display) {
    return std::find(list.begin(), list.end(), display) != list.end();
}

// Each connection is used by one thread, and Xlib reports its errors on that thread: the
// innermost trap of the calling thread is the one to ask.
thread_local ErrorTrap* innermost = nullptr;
// Set while an error goes on to the host's handler, so that a host handler that hands errors
// back to the one it replaced (ours) does not send them round for ever.
thread_local bool forwarding = false;

// Xlib calls this instead of ending the process; it returns to the call that failed.
void onConnectionLost(Display* display, void*) {
    void (*handler)(Display*) = nullptr;
    {
        Shared& s = shared();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!contains(s.lost, display)) s.lost.push_back(display);
        handler = s.lostHandler;
    }
    if (handler) handler(display);
}

// The process-wide handler of broken connections while a trap lives: ours return to Xlib, which
// then calls onConnectionLost; everyone else's go to the handler installed before.
int handleIOError(Display* display) {
    XIOErrorHandler host = nullptr;
    {
        Shared& s = shared();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (contains(s.watched, display)) return 0;
        host = s.hostIOHandler;
    }
    if (!host || forwarding) return 0;
    forwarding = true;
    int result = host(display);
    forwarding = false;
    return result;
}

} // namespace

void watchConnection(Display* display) {
    {
        Shared& s = shared();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.watched.push_back(display);
    }
    XSetIOErrorExitHandler(display, &onConnectionLost, nullptr);
}

bool connectionLost(Display* display) {
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    return contains(s.lost, display);
}

void unwatchConnection(Display* display) {
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.lost.erase(std::remove(s.lost.begin(), s.lost.end(), display), s.lost.end());
    s.watched.erase(std::remove(s.watched.begin(), s.watched.end(), display), s.watched.end());
}

void setConnectionLostHandler(void (*handler)(Display* display)) {
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.lostHandler = handler;
}

ErrorTrap::ErrorTrap(Display* display) : display_(display), outer_(innermost) {
    // install: the first trap of the process replaces the handlers
    {
        Shared& s = shared();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.liveTraps++ == 0) {
            s.hostHandler = XSetErrorHandler(&ErrorTrap::handle);
            s.hostIOHandler = XSetIOErrorHandler(&handleIOError);
        }
    }
    innermost = this;
}

ErrorTrap::~ErrorTrap() {
    // drain: every error of our requests arrives before the handler goes back
    if (display_ && !connectionLost(display_)) XSync(display_, False);
    innermost = outer_;
    // restore: the last trap of the process puts the host's handlers back
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (--s.liveTraps == 0) {
        XSetErrorHandler(s.hostHandler);
        XSetIOErrorHandler(s.hostIOHandler);
        s.hostHandler = nullptr;
        s.hostIOHandler = nullptr;
    }
}

bool ErrorTrap::failed() {
    if (!display_ || connectionLost(display_)) return true;
    XSync(display_, False);
    return errorCode_ != 0 || connectionLost(display_);
}

int ErrorTrap::handle(Display* display, XErrorEvent* event) {
    // ours: the innermost trap of this thread on this connection records it
    for (ErrorTrap* trap = innermost; trap; trap = trap->outer_) {
        if (trap->display_ != display) continue;
        if (trap->errorCode_ == 0) trap->errorCode_ = event->error_code;
        return 0;
    }
    // someone else's: their handler decides, as if we were not here
    XErrorHandler host = nullptr;
    {
        Shared& s = shared();
        std::lock_guard<std::mutex> lock(s.mutex);
        host = s.hostHandler;
    }
    if (!host || forwarding) return 0;
    forwarding = true;
    int result = host(display, event);
    forwarding = false;
    return result;
}

} // namespace quorvane::x11
