#include "module/lv2/lv2effect.h"

#include <cmath>
#include <new>

namespace quorvane::lv2 {

namespace {

// The rate answered while an effect is being built on this thread.
thread_local intptr_t creationRate = 0;

intptr_t VSTCALLBACK answerHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return creationRate;
    default:
        return 0;
    }
}

} // namespace

std::unique_ptr<ADelay> createEffect(double sampleRate) noexcept {
    if (!std::isfinite(sampleRate) || sampleRate < 1.0 || sampleRate > 1.0e9) return nullptr;
    try {
        creationRate = static_cast<intptr_t>(sampleRate);
        auto effect = std::make_unique<ADelay>(answerHost);
        creationRate = 0;
        effect->setSampleRate(static_cast<float>(sampleRate));
        return effect;
    } catch (...) {
        creationRate = 0;
        return nullptr;
    }
}

} // namespace quorvane::lv2
