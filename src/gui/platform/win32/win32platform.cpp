// The platform operations of the Win32 back end.

#include "gui/platform/win32/win32picture.h"
#include "gui/platform/win32/win32window.h"

namespace quorvane::platform {

namespace {

bool down(int key) {
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

} // namespace

std::unique_ptr<Window> createChildWindow(void* parent, int32_t width, int32_t height,
                                          WindowEvents* events) {
    return win32::Win32Window::create(static_cast<HWND>(parent), width, height, events);
}

std::unique_ptr<Offscreen> createOffscreen(const Window* reference, int32_t width, int32_t height) {
    try {
        const auto* window = dynamic_cast<const win32::Win32Window*>(reference);
        return win32::Win32Offscreen::create(window ? window->handle() : nullptr, width, height);
    } catch (...) {
        return nullptr;
    }
}

std::unique_ptr<Image> loadBitmap(int32_t id) {
    return win32::loadResourceBitmap(id);
}

uint32_t physicalButtons() {
    uint32_t bits = 0;
    if (down(VK_LBUTTON)) bits |= kButtonLeft;
    if (down(VK_MBUTTON)) bits |= kButtonMiddle;
    if (down(VK_RBUTTON)) bits |= kButtonRight;
    if (down(VK_SHIFT)) bits |= kModifierShift;
    if (down(VK_CONTROL)) bits |= kModifierControl;
    if (down(VK_MENU)) bits |= kModifierAlt;
    return bits;
}

bool buttonsSwapped() {
    return GetSystemMetrics(SM_SWAPBUTTON) > 0;
}

Point pointerScreenPosition() {
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
}

uint32_t tickCount() {
    return GetTickCount();
}

void sleepMilliseconds(uint32_t ms) {
    Sleep(ms);
}

bool runOnePendingRepaint() {
    MSG message;
    if (!PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) return false;
    // the system hands out a pending quit whatever the filter: it goes back for the host's loop
    if (message.message == WM_QUIT) {
        PostQuitMessage(int(message.wParam));
        return false;
    }
    DispatchMessageA(&message);
    return true;
}

} // namespace quorvane::platform
