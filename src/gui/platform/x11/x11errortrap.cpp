#include "gui/platform/x11/x11errortrap.h"

#include <algorithm>
#include <vector>

namespace quorvane::x11 {

namespace {
// The innermost live trap, and the handler that was installed before the outermost one.
ErrorTrap* innermost = nullptr;
XErrorHandler hostHandler = nullptr;
XIOErrorHandler hostIOHandler = nullptr;

std::vector<Display*>& watchedConnections() {
    static std::vector<Display*> watched;
    return watched;
}

std::vector<Display*>& lostConnections() {
    static std::vector<Display*> lost;
    return lost;
}
void (*lostHandler)(Display*) = nullptr;

// Xlib calls this instead of ending the process; it returns to the call that failed.
void onConnectionLost(Display* display, void*) {
    if (!connectionLost(display)) lostConnections().push_back(display);
    if (lostHandler) lostHandler(display);
}

// The process-wide handler of broken connections while a trap lives: ours return to Xlib, which
// then calls onConnectionLost; everyone else's go to the handler installed before.
int handleIOError(Display* display) {
    const auto& watched = watchedConnections();
    if (std::find(watched.begin(), watched.end(), display) != watched.end()) return 0;
    if (hostIOHandler) return hostIOHandler(display);
    return 0;
}
} // namespace

void watchConnection(Display* display) {
    watchedConnections().push_back(display);
    XSetIOErrorExitHandler(display, &onConnectionLost, nullptr);
}

bool connectionLost(Display* display) {
    const auto& lost = lostConnections();
    return std::find(lost.begin(), lost.end(), display) != lost.end();
}

void unwatchConnection(Display* display) {
    auto& lost = lostConnections();
    lost.erase(std::remove(lost.begin(), lost.end(), display), lost.end());
    auto& watched = watchedConnections();
    watched.erase(std::remove(watched.begin(), watched.end(), display), watched.end());
}

void setConnectionLostHandler(void (*handler)(Display* display)) {
    lostHandler = handler;
}

ErrorTrap::ErrorTrap(Display* display) : display_(display), outer_(innermost) {
    // install: only the outermost trap replaces the handler
    if (!outer_) {
        hostHandler = XSetErrorHandler(&ErrorTrap::handle);
        hostIOHandler = XSetIOErrorHandler(&handleIOError);
    }
    innermost = this;
}

ErrorTrap::~ErrorTrap() {
    // drain: every error of our requests arrives before the handler goes back
    if (display_ && !connectionLost(display_)) XSync(display_, False);
    innermost = outer_;
    if (!outer_) {
        XSetErrorHandler(hostHandler);
        XSetIOErrorHandler(hostIOHandler);
        hostHandler = nullptr;
        hostIOHandler = nullptr;
    }
}

bool ErrorTrap::failed() {
    if (!display_ || connectionLost(display_)) return true;
    XSync(display_, False);
    return errorCode_ != 0 || connectionLost(display_);
}

int ErrorTrap::handle(Display* display, XErrorEvent* event) {
    // ours: the innermost trap on this connection records it
    for (ErrorTrap* trap = innermost; trap; trap = trap->outer_) {
        if (trap->display_ != display) continue;
        if (trap->errorCode_ == 0) trap->errorCode_ = event->error_code;
        return 0;
    }
    // someone else's: their handler decides, as if we were not here
    if (hostHandler) return hostHandler(display, event);
    return 0;
}

} // namespace quorvane::x11
