#include "gui/platform/win32/win32moduleuse.h"

#include "gui/platform/win32/win32module.h"
#include "gui/platform/win32/win32window.h"

#include <atomic>
#include <cstdint>
#include <cstdio>

namespace quorvane::platform::win32 {

namespace {

// Guards the use count, the class and the library; windows may open on several threads.
SRWLOCK lock = SRWLOCK_INIT;
int uses = 0;
char name[32] = "";
HMODULE imageLibrary = nullptr;
std::atomic<TransparentBltFn> keyedCopy{nullptr};
std::atomic<bool> maskForced{false};

// The image library's keyed copy, on the NT family only; the library stays loaded until
// released.
TransparentBltFn loadImageLibrary() {
    imageLibrary = LoadLibraryA("msimg32.dll");
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

int ModuleUse::useCount() {
    AcquireSRWLockShared(&lock);
    int count = uses;
    ReleaseSRWLockShared(&lock);
    return count;
}

TransparentBltFn transparentBlt() {
    return maskForced ? nullptr : keyedCopy.load();
}

void forceMaskMethod(bool force) {
    maskForced = force;
}

} // namespace quorvane::platform::win32
