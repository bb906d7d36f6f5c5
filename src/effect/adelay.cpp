#include "effect/adelay.h"

#include "shell/aeffeditor.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const kParamNames[kNumParams] = {"Delay",  "RMS level", "Peak level", "Hold level",
                                             "Volume", "Mode",      "Resp",       "RMS Mode"};
const char* const kParamLabels[kNumParams] = {"samples", "apples", "apples", "apples",
                                              "dB",      "",       "",       ""};

bool isParameter(int32_t index) {
    return index >= 0 && index < kNumParams;
}

} // namespace

ADelay::ADelay(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams) {
    // Program bank, then program 0 applied to the live fields.
    programs = std::make_unique<EffectProgram[]>(kNumPrograms);
    setProgram(0);

    // Record: what the host sees of the effect.
    hasVu();
    canMono();
    canProcessReplacing();
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(kUniqueId);

    // Engine, built for the host's rate; its frame length is the latency from here on.
    updateSampleRate();
    setSampleRate(sampleRate);
    processor = std::make_unique<quorvane::DuckingProcessor>(getSampleRate());
    setInitialDelay(static_cast<int32_t>(processor->frameLength()));

    resume();
}

ADelay::~ADelay() = default;

EffectProgram* ADelay::currentProgram() {
    const int32_t current = curProgram.load();
    return current >= 0 && current < kNumPrograms ? &programs[current] : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Parameters

void ADelay::setParameter(int32_t index, float value) {
    if (index == kDelay)
        setDelay(value);
    else if (EffectProgram* program = isParameter(index) ? currentProgram() : nullptr)
        program->values[index].store(value);
    if (editor) editor->postUpdate();
}

void ADelay::setDelay(float value) {
    if (EffectProgram* program = currentProgram()) program->values[kDelay].store(value);
    // Shown only; a later sample-rate change does not update it until the value is set again.
    delaySamples.store(saturatingTruncate(static_cast<double>(value) * static_cast<double>(0.3f) *
                                          static_cast<double>(getSampleRate())));
}

float ADelay::getParameter(int32_t index) {
    EffectProgram* program = isParameter(index) ? currentProgram() : nullptr;
    return program ? program->values[index].load() : 0.0f;
}

void ADelay::getParameterName(int32_t index, char* text) {
    if (isParameter(index)) std::strcpy(text, kParamNames[index]);
}

void ADelay::getParameterLabel(int32_t index, char* label) {
    if (isParameter(index)) std::strcpy(label, kParamLabels[index]);
}

void ADelay::getParameterDisplay(int32_t index, char* text) {
    switch (index) {
    case kDelay:
        long2string(delaySamples, text);
        break;
    case kVolume:
        dB2string(getParameter(kVolume), text);
        break;
    default:
        if (isParameter(index)) float2string(getParameter(index), text);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Programs

void ADelay::setProgram(int32_t program) {
    if (program < 0 || program >= kNumPrograms) return;
    curProgram.store(program);
    // Each call also writes the same value back into the program, and tells the editor.
    for (int32_t index = 0; index < kNumParams; ++index)
        setParameter(index, programs[program].values[index].load());
}

void ADelay::setProgramName(char* name) {
    EffectProgram* program = currentProgram();
    if (!program) return;
    std::strncpy(program->name, name, sizeof(program->name) - 1);
    program->name[sizeof(program->name) - 1] = 0;
}

void ADelay::getProgramName(char* name) {
    EffectProgram* program = currentProgram();
    if (!program) {
        *name = 0;
        return;
    }
    if (std::strcmp(program->name, "Init") == 0)
        std::sprintf(name, "Init %d", static_cast<int>(curProgram.load() + 1));
    else
        std::strcpy(name, program->name);
}

bool ADelay::getProgramNameIndexed(int32_t, int32_t index, char* text) {
    if (index < 0 || index >= kNumPrograms) return false;
    std::strcpy(text, programs[index].name);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Identity

bool ADelay::getEffectName(char* name) {
    std::strcpy(name, "Quorvane");
    return true;
}

bool ADelay::getVendorString(char* text) {
    std::strcpy(text, "Haldermoor");
    return true;
}

bool ADelay::getProductString(char* text) {
    std::strcpy(text, "Quorvane");
    return true;
}

// ---------------------------------------------------------------------------------------------
// Audio

void ADelay::setSampleRate(float rate) {
    AudioEffectX::setSampleRate(rate);
    if (processor) processor->setDesignSampleRate(getSampleRate());
}

void ADelay::resume() {
    // The meter parameters carry channel + level / 2: these six calls zero both channels.
    for (int32_t index : {kHoldLevel, kPeakLevel, kRmsLevel}) {
        setParameter(index, 0.0f);
        setParameter(index, 1.0f);
    }
    processor->reserve(blockSize);
    processor->reset();
}

void ADelay::process(float** inputs, float** outputs, int32_t sampleFrames) {
    if (!inputs || !outputs) return;
    processor->process(inputs, outputs, sampleFrames);
}

void ADelay::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
    process(inputs, outputs, sampleFrames);
}
