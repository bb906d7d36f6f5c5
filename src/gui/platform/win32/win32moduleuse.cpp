#include "gui/platform/win32/win32moduleuse.h"

#include "gui/platform/win32/win32module.h"
#include "gui/platform/win32/win32window.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace quorvane::win32 {

namespace {

// Guards the use count, the class and the library; windows may open on several threads.
SRWLOCK lock = SRWLOCK_INIT;
int uses = 0;
char name[32] = "";
HMODULE imageLibrary = nullptr;
std::atomic<TransparentBltFn> keyedCopy{nullptr};

// The image library from the system folder only, never a file of that name that a host's
// folder or the search path offers: by the loader's system-folder search where the system has
// it, else by its full path.
HMODULE loadSystemImageLibrary() {
    HMODULE library = LoadLibraryExA("msimg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library) return library;
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    const char name[] = "\\msimg32.dll";
    if (length == 0 || length + sizeof(name) > MAX_PATH) return nullptr;
    std::memcpy(path + length, name, sizeof(name));
    return LoadLibraryA(path);
}

// The image library's keyed copy, on the NT family only; the library stays loaded until
// released.
TransparentBltFn loadImageLibrary() {
    imageLibrary = loadSystemImageLibrary();
    if (!imageLibrary) return nullptr;
    OSVERSIONINFOEXA version{}; // the extended record, 156 bytes
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)) ||
        version.dwPlatformId < VER_PLATFORM_WIN32_NT)
        return nullptr;
    return reinterpret_cast<TransparentBltFn>(
        reinterpret_cast<void*>(GetProcAddress(imageLibrary, "TransparentBlt")));
}

void registerClass() {
    HINSTANCE instance = moduleInstance();
    std::snprintf(name, sizeof(name), "Plugin%08x", unsigned(uintptr_t(instance)));
    WNDCLASSA windowClass{};
    windowClass.style = CS_GLOBALCLASS;
    windowClass.lpfnWndProc = &Win32Window::procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass);
}

} // namespace

ModuleUse::ModuleUse() {
    AcquireSRWLockExclusive(&lock);
    if (++uses == 1) {
        registerClass();
        keyedCopy = loadImageLibrary();
    }
    ReleaseSRWLockExclusive(&lock);
}

ModuleUse::~ModuleUse() {
    AcquireSRWLockExclusive(&lock);
    if (--uses == 0) {
        UnregisterClassA(name, moduleInstance());
        keyedCopy = nullptr;
        if (imageLibrary) FreeLibrary(imageLibrary);
        imageLibrary = nullptr;
    }
    ReleaseSRWLockExclusive(&lock);
}

const char* ModuleUse::className() {
    return name;
}

void unregisterLeftClass() {
    // no lock: the loader holds its own here, and nothing else of the module runs any more
    if (uses == 0 && name[0]) UnregisterClassA(name, moduleInstance());
}

TransparentBltFn transparentBlt() {
    return keyedCopy.load();
}

} // namespace quorvane::win32
