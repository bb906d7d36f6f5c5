#pragma once
// The editor window's OLE drop target: text (CF_TEXT) and file lists (CF_HDROP) from other
// applications, handed to the window's owner; shortcut files in a list become their targets.

#include "gui/platform/platform.h"

#include <ole2.h>
#include <shellapi.h>

namespace quorvane::win32 {

// Drop types handed to onDrop.
inline constexpr int32_t kDropFiles = 0;
inline constexpr int32_t kDropText = 1;
// Room for one dropped path with its terminator; longer paths are left out, never cut.
inline constexpr int kPathBytes = 1024;

// Created with no reference; the registration with RegisterDragDrop takes the first and
// RevokeDragDrop drops it. Called by OLE on the window's thread. Never throws.
class UDropTarget final : public IDropTarget {
public:
    UDropTarget(HWND window, platform::WindowEvents* events);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // Accepts data that offers text or a file list; then answers as DragOver.
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                        DWORD* effect) override;
    // Copy when the source allows it, none otherwise and for data that was not accepted. Never
    // move: the source would delete what it moved.
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    // Text as one item of its block's size, or the list's paths; at the pointer's position.
    // The effect is a copy (within the allowed ones) when the window took the data, else none.
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point,
                                   DWORD* effect) override;

    // The window is going: later drops reach nobody.
    void detach();

private:
    ~UDropTarget() = default;
    void dropText(HGLOBAL block);
    void dropFiles(HDROP list);
    platform::Point location() const;

    LONG references_ = 0;
    bool accept_ = false;
    bool taken_ = false;
    HWND window_;
    platform::WindowEvents* events_;
};

// Replaces a path ending in ".lnk" (any case) by the shortcut's target, read through the
// shell's link object, in a buffer of kPathBytes; true when it did. A shortcut that cannot be
// resolved leaves the path as it was.
bool resolveShortcut(char* path);

} // namespace quorvane::win32
