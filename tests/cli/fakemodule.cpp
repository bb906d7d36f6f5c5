// Small stand-in modules for the tool's tests, one behaviour per build:
//   FAKE_ENTRY     1 exports VSTPluginMain, 2 exports main only, 3 an entry that returns null,
//                  0 no entry at all
//   FAKE_PINS      input and output count
//   FAKE_SOURCE    which input output 1 carries: 1 the signal, 0 the key
//   FAKE_GAIN      factor on output 1
//   FAKE_REPLACING 1 sets the replacing flag; 0 offers only the accumulating entry
//   FAKE_SLOW      microseconds of sleep per block
// The latency is the host's sample rate / 441 (100 frames at 44100 Hz): both outputs are their
// input delayed by that much, so the host's rate answer shows in the stream.

#include "shell/aeffect.h"

#include <unistd.h>

#include <cstring>
#include <vector>

namespace {

struct FakeEffect {
    AEffect record{};
    std::vector<float> delay[2]; // ring per channel
    size_t position = 0;
};

intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    if (opcode == effClose) {
        delete static_cast<FakeEffect*>(effect->object);
        return 1;
    }
    if (opcode == effGetEffectName && ptr) std::strcpy(static_cast<char*>(ptr), "Fake");
    return 0;
}

// Output pin ch = FAKE_GAIN × input pin of the chosen source, delayed by the latency.
void run(AEffect* effect, float** inputs, float** outputs, int32_t frames, bool accumulate) {
    auto* fake = static_cast<FakeEffect*>(effect->object);
    const size_t length = fake->delay[0].size();
    const int pins = FAKE_PINS < 2 ? FAKE_PINS : 2;
    for (int32_t i = 0; i < frames; ++i) {
        for (int ch = 0; ch < pins; ++ch) {
            const int source = (ch == 1) ? FAKE_SOURCE : 0;
            float& slot = fake->delay[ch][fake->position];
            const float out = slot * (ch == 1 ? FAKE_GAIN : 1.0f);
            slot = inputs[source][i];
            outputs[ch][i] = accumulate ? outputs[ch][i] + out : out;
        }
        fake->position = (fake->position + 1) % length;
    }
    if (FAKE_SLOW > 0) usleep(FAKE_SLOW);
}

void processReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
    run(effect, inputs, outputs, frames, false);
}

void processAccumulating(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
    run(effect, inputs, outputs, frames, true);
}

void setParameter(AEffect*, int32_t, float) {}
float getParameter(AEffect*, int32_t) {
    return 0.0f;
}

AEffect* create(audioMasterCallback host) {
    if (FAKE_ENTRY == 3 || !host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0) == 0)
        return nullptr;
    auto* fake = new FakeEffect;
    AEffect& e = fake->record;
    const intptr_t rate = host(&e, audioMasterGetSampleRate, 0, 0, nullptr, 0);
    e.magic = kEffectMagic;
    e.dispatcher = dispatch;
    e.process = processAccumulating;
    e.processReplacing = FAKE_REPLACING ? processReplacing : nullptr;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.numInputs = FAKE_PINS;
    e.numOutputs = FAKE_PINS;
    e.flags = FAKE_REPLACING ? effFlagsCanReplacing : 0;
    e.initialDelay = static_cast<int32_t>(rate > 0 ? rate / 441 : 100);
    e.ioRatio = 1.0f;
    e.object = fake;
    e.uniqueID = 0x46616B65;
    e.version = 1;
    for (auto& line : fake->delay)
        line.assign(static_cast<size_t>(e.initialDelay), 0.0f);
    return &e;
}

} // namespace

#if FAKE_ENTRY == 1 || FAKE_ENTRY == 3
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    return create(host);
}
#elif FAKE_ENTRY == 2
extern "C" __attribute__((visibility("default"))) AEffect*
fakeMain(audioMasterCallback host) __asm__("main");
extern "C" __attribute__((visibility("default"))) AEffect* fakeMain(audioMasterCallback host) {
    return create(host);
}
#else
extern "C" __attribute__((visibility("default"))) AEffect* notAnEntry(audioMasterCallback host) {
    return create(host);
}
#endif
