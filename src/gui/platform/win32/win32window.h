#pragma once
// The editor's window on Win32: a child of the host's window in the module's own window class,
// painted and clicked through the window procedure, with an OLE drop target.

#include "gui/platform/platform.h"
#include "gui/platform/win32/win32moduleuse.h"

#include <memory>
#include <windows.h>

namespace quorvane::win32 {

class UDropTarget;
class WindowDevice;

// Made by platform::createChildWindow on the editor's thread. The window's messages reach its
// events through the window procedure when the host's message loop delivers them. It may be
// destroyed on any thread: the window, its drop registration and the component library are
// still let go of on the thread that made them. Never throws.
class Win32Window : public platform::Window {
public:
    // Null when parent is not a window or the window cannot be made.
    static std::unique_ptr<Win32Window> create(HWND parent, int32_t width, int32_t height,
                                               platform::WindowEvents* events);
    // Revokes the drop target and destroys the window if it still exists. On another thread
    // than the window's, that thread is asked to do it and this one waits for the answer; a
    // thread that does not answer in time gets the window back with the system's default
    // procedure and a request to close it, so that none of this module's code stays reachable.
    ~Win32Window() override;

    void setSize(int32_t width, int32_t height) override;
    int32_t width() const override { return width_; }
    int32_t height() const override { return height_; }
    platform::Point screenOrigin() const override;
    // A device on the window's own device context; null once the window is gone. When the
    // window goes (with its parent, or destroyed under a drag), the device gives the context back
    // at once and draws nothing more.
    std::unique_ptr<platform::Device> openDevice() override;
    bool setDropEnabled(bool enabled) override;
    // Nothing: the host's own message loop delivers the window's messages, and a pump here could
    // take messages meant for the host (its WM_QUIT).
    void dispatchPendingEvents() override {}

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
    // On the window's thread: lets go of the drop registration, the open devices and the
    // component library.
    void release();
    // On the window's thread: release, then the window, which tells nobody.
    void close();
    void closeFromOtherThread();

    // the window class and the image library stay while the window exists
    ModuleUse use_;
    DWORD thread_;
    bool oleInitialized_ = false;
    WindowDevice* devices_ = nullptr;
    platform::WindowEvents* events_;
    HWND window_ = nullptr;
    int32_t width_;
    int32_t height_;
    UDropTarget* dropTarget_ = nullptr;
};

} // namespace quorvane::win32
