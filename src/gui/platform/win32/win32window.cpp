#include "gui/platform/win32/win32window.h"

#include "gui/platform/win32/udroptarget.h"
#include "gui/platform/win32/win32device.h"
#include "gui/platform/win32/win32module.h"

#include <new>
#include <ole2.h>

namespace quorvane::win32 {

namespace {

// Sent by another thread to have the window's own thread close it; answered with kClosed.
constexpr UINT kCloseMessage = WM_USER + 0x51;
constexpr LRESULT kClosed = 0x51;
// How long a closing thread waits for the window's thread to answer.
constexpr UINT kCloseTimeout = 2000;

} // namespace

// A device on the window's own context, listed with the window so that the window can take the
// context back when it goes first. Both live on the window's thread.
class WindowDevice final : public Win32Device {
public:
    WindowDevice(HDC dc, HWND owner, WindowDevice** list)
        : Win32Device(dc, owner), list_(list), next_(*list) {
        *list = this;
    }
    ~WindowDevice() override { unlink(); }
    // The window goes: the context goes back now and later drawing does nothing.
    void orphan() {
        unlink();
        release();
    }

private:
    void unlink() {
        for (WindowDevice** p = list_; p && *p; p = &(*p)->next_) {
            if (*p == this) {
                *p = next_;
                break;
            }
        }
        list_ = nullptr;
    }

    WindowDevice** list_;
    WindowDevice* next_;
};

std::unique_ptr<Win32Window> Win32Window::create(HWND parent, int32_t width, int32_t height,
                                                 platform::WindowEvents* events) {
    if (!parent || !IsWindow(parent) || width <= 0 || height <= 0) return nullptr;
    std::unique_ptr<Win32Window> window(new (std::nothrow) Win32Window(events, width, height));
    if (!window) return nullptr;
    // create: a borderless child at (0, 0), shown at once; paints arrive through the queue
    HWND made = CreateWindowExA(0, ModuleUse::className(), "Window", WS_CHILD | WS_VISIBLE, 0, 0,
                                width, height, parent, nullptr, moduleInstance(), nullptr);
    if (!made) return nullptr;
    window->window_ = made;
    SetWindowLongPtrA(made, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window.get()));
    return window;
}

Win32Window::Win32Window(platform::WindowEvents* events, int32_t width, int32_t height)
    : thread_(GetCurrentThreadId()), events_(events), width_(width), height_(height) {
    // the drop target needs the component library on this thread
    oleInitialized_ = SUCCEEDED(OleInitialize(nullptr));
}

Win32Window::~Win32Window() {
    if (GetCurrentThreadId() == thread_)
        close();
    else
        closeFromOtherThread();
}

void Win32Window::release() {
    revokeDrop();
    while (devices_)
        devices_->orphan();
    if (oleInitialized_) OleUninitialize();
    oleInitialized_ = false;
}

void Win32Window::close() {
    release();
    if (!window_) return;
    // detached first: destroying the window tells nobody
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    window_ = nullptr;
}

void Win32Window::closeFromOtherThread() {
    // without a window, WM_DESTROY has already let go of everything on the window's thread
    HWND window = window_;
    if (!window) return;
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(window, kCloseMessage, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                            kCloseTimeout, &answer) &&
        answer == DWORD_PTR(kClosed))
        return;
    // no answer: the window gets the default procedure and closes itself when its thread comes
    // back; hidden until then, so that no drag reaches the drop target left registered
    if (dropTarget_) dropTarget_->detach();
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
    ShowWindowAsync(window, SW_HIDE);
    PostMessageA(window, WM_CLOSE, 0, 0);
}

void Win32Window::setSize(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return;
    width_ = width;
    height_ = height;
    if (window_) SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

platform::Point Win32Window::screenOrigin() const {
    RECT rect{};
    if (!window_ || !GetWindowRect(window_, &rect)) return {};
    return {rect.left, rect.top};
}

std::unique_ptr<platform::Device> Win32Window::openDevice() {
    if (!window_) return nullptr;
    HDC dc = GetDC(window_);
    if (!dc) return nullptr;
    std::unique_ptr<platform::Device> device(new (std::nothrow)
                                                 WindowDevice(dc, window_, &devices_));
    if (!device) ReleaseDC(window_, dc);
    return device;
}

bool Win32Window::setDropEnabled(bool enabled) {
    if (!enabled) {
        revokeDrop();
        return true;
    }
    if (!window_ || !oleInitialized_) return false;
    if (dropTarget_) return true;
    UDropTarget* target = new (std::nothrow) UDropTarget(window_, events_);
    if (!target) return false;
    // the registration holds the target's only reference
    target->AddRef();
    HRESULT result = RegisterDragDrop(window_, target);
    target->Release();
    if (FAILED(result)) return false;
    dropTarget_ = target;
    return true;
}

void Win32Window::revokeDrop() {
    if (!dropTarget_) return;
    // the target may outlive the registration in a drag in progress: it must not call us
    dropTarget_->detach();
    if (window_) RevokeDragDrop(window_);
    dropTarget_ = nullptr;
}

void Win32Window::paint() {
    RECT update{};
    if (!GetUpdateRect(window_, &update, FALSE) || !events_) {
        DefWindowProcA(window_, WM_PAINT, 0, 0);
        return;
    }
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window_, &paint);
    if (dc) {
        Win32Device device(dc);
        const RECT& r = paint.rcPaint;
        events_->onPaint(device, {r.left, r.top, r.right, r.bottom});
    }
    EndPaint(window_, &paint);
}

LRESULT Win32Window::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN: {
        if (!events_) break;
        // the position word's halves, each an unsigned 16-bit number
        platform::Point where{int32_t(LOWORD(lParam)), int32_t(HIWORD(lParam))};
        int32_t button = message == WM_LBUTTONDOWN ? 0 : message == WM_MBUTTONDOWN ? 1 : 2;
        events_->onButtonDown(where, button);
        return 0;
    }
    case kCloseMessage:
        close();
        return kClosed;
    case WM_DESTROY: {
        // the host destroyed our parent: drop registration, devices and component library go
        // here, on the window's thread; tell the owner, nothing follows
        HWND window = window_;
        release();
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        window_ = nullptr;
        if (events_) events_->onDestroyed();
        return DefWindowProcA(window, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

LRESULT CALLBACK Win32Window::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self || self->window_ != window) return DefWindowProcA(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

} // namespace quorvane::win32
