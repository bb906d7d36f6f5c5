#pragma once
// The module instance handle, stored by DllMain when the system loads the module and read by the
// back end for its window class and the bitmap resources.

#include <windows.h>

namespace quorvane::win32 {

void setModuleInstance(HINSTANCE instance);
// Null before DllMain ran (a program that links the back end without being a module).
HINSTANCE moduleInstance();

} // namespace quorvane::win32
