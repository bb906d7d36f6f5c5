#pragma once
// The editor's window on Win32: a child of the host's window in the module's own window class,
// painted and clicked through the window procedure, with an OLE drop target.

#include "gui/platform/platform.h"
#include "gui/platform/win32/win32moduleuse.h"

#include <memory>
#include <windows.h>

namespace quorvane::platform::win32 {

class UDropTarget;

// Made by platform::createChildWindow on the editor's thread, which must also destroy it. The
// window's messages reach its events through the window procedure, whether the host's message
// loop or dispatchPendingEvents delivers them. Never throws.
class Win32Window : public platform::Window {
public:
    // Null when parent is not a window or the window cannot be made.
    static std::unique_ptr<Win32Window> create(HWND parent, int32_t width, int32_t height,
                                               platform::WindowEvents* events);
    // Revokes the drop target and destroys the window if it still exists.
    ~Win32Window() override;

    void setSize(int32_t width, int32_t height) override;
    int32_t width() const override { return width_; }
    int32_t height() const override { return height_; }
    platform::Point screenOrigin() const override;
    // A device on the window's own device context; null once the window is gone.
    std::unique_ptr<platform::Device> openDevice() override;
    bool setDropEnabled(bool enabled) override;
    // Dispatches the messages waiting for this window.
    void dispatchPendingEvents() override;

    HWND handle() const { return window_; }
    // False once the window is destroyed (with its parent, for instance).
    bool alive() const { return window_ != nullptr; }

    // The window procedure of the class.
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    Win32Window(platform::WindowEvents* events, int32_t width, int32_t height);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paint();
    void revokeDrop();

    // the window class and the image library stay while the window exists
    ModuleUse use_;
    bool oleInitialized_ = false;
    platform::WindowEvents* events_;
    HWND window_ = nullptr;
    int32_t width_;
    int32_t height_;
    UDropTarget* dropTarget_ = nullptr;
};

} // namespace quorvane::platform::win32
