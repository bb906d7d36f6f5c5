#include "shell/audioeffect.h"

#include "shell/aeffeditor.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

// ---------------------------------------------------------------------------------------------
// Record entries: plain functions that forward to the object the record belongs to. Nothing
// thrown inside the effect may reach the host.

namespace {

AudioEffect* objectOf(AEffect* e) {
    return static_cast<AudioEffect*>(e->object);
}

intptr_t VSTCALLBACK dispatchEntry(AEffect* e, int32_t opcode, int32_t index, intptr_t value,
                                   void* ptr, float opt) noexcept {
    AudioEffect* effect = objectOf(e);
    intptr_t answer = 0;
    effect->enterEntry();
    try {
        answer = effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        answer = 0;
    }
    if (opcode == effClose) {
        // The record lies inside the object: the host must not use it afterwards.
        effect->beginClose();
        answer = 1;
    }
    if (effect->leaveEntry()) delete effect;
    return answer;
}

void VSTCALLBACK processEntry(AEffect* e, float** inputs, float** outputs,
                              int32_t sampleFrames) noexcept {
    try {
        objectOf(e)->process(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void VSTCALLBACK processReplacingEntry(AEffect* e, float** inputs, float** outputs,
                                       int32_t sampleFrames) noexcept {
    try {
        objectOf(e)->processReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void VSTCALLBACK setParameterEntry(AEffect* e, int32_t index, float value) noexcept {
    try {
        objectOf(e)->setParameter(index, value);
    } catch (...) {
    }
}

float VSTCALLBACK getParameterEntry(AEffect* e, int32_t index) noexcept {
    try {
        return objectOf(e)->getParameter(index);
    } catch (...) {
        return 0.0f;
    }
}

// Basic opcodes that read or write a text through ptr; a null ptr is never dereferenced.
bool isTextOpcode(int32_t opcode) {
    switch (opcode) {
    case effSetProgramName:
    case effGetProgramName:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
        return true;
    default:
        return false;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------

AudioEffect::AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams)
    : sampleRate(44100.0f), editor(nullptr), audioMaster(audioMaster), numPrograms(numPrograms),
      numParams(numParams), curProgram(0), blockSize(1024) {
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEntry;
    cEffect.process = processEntry;
    cEffect.setParameter = setParameterEntry;
    cEffect.getParameter = getParameterEntry;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = 0x4E6F4566; // placeholder "NoEf", replaced by the effect
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingEntry;
}

AudioEffect::~AudioEffect() {
    delete editor;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

void AudioEffect::beginClose() noexcept {
    // a tracking loop that is still running notices the close and leaves
    if (editor) editor->close();
    closing.store(true);
}

void AudioEffect::setFlag(int32_t flag, bool state) {
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                               float opt) {
    if (!audioMaster) return 0;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

void AudioEffect::setParameter(int32_t, float) {}

float AudioEffect::getParameter(int32_t) {
    return 0.0f;
}

void AudioEffect::setParameterAutomated(int32_t index, float value) {
    // The host learns of a change that is already in effect.
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::processReplacing(float**, float**, int32_t) {}

void AudioEffect::setProgramName(char*) {}
void AudioEffect::getProgramName(char* name) {
    *name = 0;
}
void AudioEffect::getParameterLabel(int32_t, char* label) {
    *label = 0;
}
void AudioEffect::getParameterDisplay(int32_t, char* text) {
    *text = 0;
}
void AudioEffect::getParameterName(int32_t, char* text) {
    *text = 0;
}
int32_t AudioEffect::getChunk(void**, bool) {
    return 0;
}
int32_t AudioEffect::setChunk(void*, int32_t, bool) {
    return 0;
}

int32_t AudioEffect::getMasterVersion() {
    intptr_t version = callHost(audioMasterVersion);
    return version ? static_cast<int32_t>(version) : 1;
}

int32_t AudioEffect::getCurrentUniqueId() {
    return static_cast<int32_t>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() {
    callHost(audioMasterIdle);
}

bool AudioEffect::isInputConnected(int32_t input) {
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(int32_t output) {
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

// ---------------------------------------------------------------------------------------------

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt) {
    if (!ptr && isTextOpcode(opcode)) return 0;
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value >= 0 && value < numPrograms) setProgram(static_cast<int32_t>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        setProgramName(text);
        return 0;
    case effGetProgramName:
        getProgramName(text);
        return 0;
    case effGetParamLabel:
        getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        getParameterName(index, text);
        return 0;
    case effGetVu:
        return saturatingTruncate(static_cast<double>(getVu()) * 32767.0);
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(saturatingTruncate(static_cast<double>(value)));
        return 0;
    case effMainsChanged:
        if (value)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        if (!editor || !ptr) return 0;
        return editor->getRect(static_cast<ERect**>(ptr));
    case effEditOpen:
        return editor ? editor->open(ptr) : 0;
    case effEditClose:
        if (editor) editor->close();
        return 0;
    case effEditIdle:
        if (editor) editor->idle();
        return 0;
    case effIdentify:
        return 0x4E764566; // "NvEf"
    case effGetChunk:
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return setChunk(ptr, static_cast<int32_t>(value), index != 0);
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Display texts. The caller's buffer is never left without a terminated text.

void AudioEffect::float2string(float value, char* text) {
    double v = value;
    if (std::isnan(v)) {
        std::strcpy(text, "NaN");
        return;
    }
    bool negative = v < 0.0;
    if (negative) v = -v;
    if (v > (negative ? 9999999.0 : 99999999.0)) {
        std::strcpy(text, "Huge!");
        return;
    }

    // Integer part, right to left: the point, then at most 8 characters in all.
    char temp[16];
    char* p = temp + sizeof(temp) - 1;
    *p = 0;
    *--p = '.';
    double integer = std::floor(v);
    *--p = static_cast<char>('0' + static_cast<int>(std::fmod(integer, 10.0)));
    int count = negative ? 3 : 2;
    double quotient = integer / 10.0;
    while (quotient >= 1.0 && count < 8) {
        *--p = static_cast<char>('0' + static_cast<int>(std::fmod(quotient, 10.0)));
        quotient /= 10.0;
        ++count;
    }
    if (negative) *--p = '-';
    std::strcpy(text, p);
    if (count >= 8) return;

    // Fraction, cut to the remaining width, never rounded.
    int digits = 8 - count;
    double m = std::fmod(v, 1.0) * std::pow(10.0, digits);
    char fraction[8];
    fraction[digits] = 0;
    for (int i = digits - 1; i >= 0; --i) {
        if (m <= 0.0) {
            fraction[i] = '0';
        } else {
            fraction[i] = static_cast<char>('0' + static_cast<int>(std::fmod(m, 10.0)));
            m /= 10.0;
        }
    }
    std::strcat(text, fraction);
}

void AudioEffect::long2string(int32_t value, char* text) {
    if (value >= 100000000) {
        std::strcpy(text, "Huge!");
        return;
    }
    char temp[32];
    std::snprintf(temp, sizeof(temp), "%7d", value);
    temp[8] = 0;
    std::strcpy(text, temp);
}

void AudioEffect::dB2string(float value, char* text) {
    if (value <= 0.0f) {
        std::strcpy(text, "-oo");
        return;
    }
    // the logarithm is taken in double precision and only then rounded to float
    float logarithm = static_cast<float>(std::log10(static_cast<double>(value)));
    float2string(static_cast<float>(20.0 * logarithm), text);
}

void AudioEffect::Hz2string(float samples, char* text) {
    float2string(samples == 0.0f ? 0.0f : sampleRate / samples, text);
}

void AudioEffect::ms2string(float samples, char* text) {
    float2string(samples * 1000.0f / sampleRate, text);
}
