// Module entry of the Windows plug-in: DllMain keeps the module handle for the window class and
// the bitmap resources; the host calls main (64-bit hosts may look up VSTPluginMain instead).
// The module-definition file beside this one decides what is exported.

#include "gui/platform/win32/win32module.h"
#include "gui/platform/win32/win32moduleuse.h"
#include "module/vst2/vstmain.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    quorvane::win32::setModuleInstance(instance);
    // unloaded by the host, not at process exit
    if (reason == DLL_PROCESS_DETACH && !reserved) quorvane::win32::unregisterLeftClass();
    return TRUE;
}

// A C++ function cannot be called main in a library; the module-definition file exports this
// one under that name.
extern "C" AEffect* VSTCALLBACK moduleMain(audioMasterCallback audioMaster) noexcept {
    return createEffectInstance(audioMaster);
}

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster) noexcept {
    return createEffectInstance(audioMaster);
}
