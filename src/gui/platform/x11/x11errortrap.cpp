#include "gui/platform/x11/x11errortrap.h"

namespace quorvane::x11 {

namespace {
// The innermost live trap, and the handler that was installed before the outermost one.
ErrorTrap* innermost = nullptr;
XErrorHandler hostHandler = nullptr;
} // namespace

ErrorTrap::ErrorTrap(Display* display) : display_(display), outer_(innermost) {
    // install: only the outermost trap replaces the handler
    if (!outer_) hostHandler = XSetErrorHandler(&ErrorTrap::handle);
    innermost = this;
}

ErrorTrap::~ErrorTrap() {
    // drain: every error of our requests arrives before the handler goes back
    if (display_) XSync(display_, False);
    innermost = outer_;
    if (!outer_) {
        XSetErrorHandler(hostHandler);
        hostHandler = nullptr;
    }
}

bool ErrorTrap::failed() {
    if (display_) XSync(display_, False);
    return errorCode_ != 0;
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
