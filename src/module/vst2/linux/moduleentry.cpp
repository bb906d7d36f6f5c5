// Module entry of the Linux plug-in: the host looks up VSTPluginMain or main.

#include "module/vst2/vstmain.h"

// A C++ function cannot be called main in a library, so the entry carries the assembler name.
extern "C" __attribute__((visibility("default"))) AEffect*
moduleMain(audioMasterCallback audioMaster) noexcept __asm__("main");

extern "C" __attribute__((visibility("default"))) AEffect*
moduleMain(audioMasterCallback audioMaster) noexcept {
    return createEffectInstance(audioMaster);
}

extern "C" __attribute__((visibility("default"))) AEffect*
VSTPluginMain(audioMasterCallback audioMaster) noexcept {
    return createEffectInstance(audioMaster);
}
