#include "module/vst2/vstmain.h"

#include "module/adelayedit.h"

#include <new>

AEffect* createEffectInstance(audioMasterCallback audioMaster) noexcept {
    // Without a callback there is no host to serve, and a host answering 0 gets nothing.
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    try {
        // A failure half-way releases whatever was built already.
        auto* effect = new ADelayEdit(audioMaster);
        return effect->getAeffect();
    } catch (...) {
        return nullptr;
    }
}
