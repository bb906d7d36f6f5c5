#pragma once
// What the open windows share process-wide: the module's window class and the image library
// with its keyed copy. They come with the first window and go with the last.

#include <windows.h>

namespace quorvane::win32 {

// Signature of msimg32's keyed copy.
using TransparentBltFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, UINT);

// One per open window, on the window's thread; the first registers the window class and loads
// the image library, the last unregisters and frees them. Safe with windows on several threads.
class ModuleUse {
public:
    ModuleUse();
    ~ModuleUse();
    ModuleUse(const ModuleUse&) = delete;
    ModuleUse& operator=(const ModuleUse&) = delete;

    // The registered class name, "Plugin" and eight hex digits of the module handle.
    static const char* className();
};

// msimg32's keyed copy while a window is open on an NT-family system, otherwise null (the mask
// method is used then).
TransparentBltFn transparentBlt();

// At unload: the window class, when a window that its thread closed late kept it registered past
// the last use, so that no class of the module outlives it.
void unregisterLeftClass();

} // namespace quorvane::win32
