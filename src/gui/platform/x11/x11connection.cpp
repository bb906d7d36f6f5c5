#include "gui/platform/x11/x11connection.h"

#include "gui/platform/x11/x11errortrap.h"

#include <mutex>

namespace quorvane::x11 {

namespace {

std::mutex& connectionLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

Display* openConnection() {
    std::lock_guard<std::mutex> lock(connectionLock());
    Display* display = XOpenDisplay(nullptr);
    if (display) watchConnection(display);
    return display;
}

void closeConnection(Display* display) {
    if (!display) return;
    // still ours while it closes: a link that breaks now is not the host's business
    std::lock_guard<std::mutex> lock(connectionLock());
    XCloseDisplay(display);
    unwatchConnection(display);
}

} // namespace quorvane::x11
