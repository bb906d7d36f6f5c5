#pragma once
// The effect: parameters, programs, identity, and the ducking engine behind the audio entries.

#include "effect/effectprogram.h"
#include "effect/parameterindex.h"
#include "engine/duckingprocessor.h"
#include "shell/audioeffectx.h"

#include <atomic>
#include <memory>

// "QrVn" read as a big-endian integer.
constexpr int32_t kUniqueId = 0x5172566E;

class ADelay : public AudioEffectX {
public:
    // Asks the host for its sample rate and builds the engine for it; throws std::bad_alloc.
    explicit ADelay(audioMasterCallback audioMaster);
    ~ADelay() override;

    // Any thread. Stores the value in the current program (the parameter storage); nothing for
    // other indices. Lock-free.
    void setParameter(int32_t index, float value) override;
    // Any thread. The current program's value; 0 for other indices.
    float getParameter(int32_t index) override;
    // Audio thread. Both overwrite the outputs; inputs and outputs may be the same memory.
    void process(float** inputs, float** outputs, int32_t sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
    void setProgram(int32_t program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(int32_t index, char* label) override;
    void getParameterDisplay(int32_t index, char* text) override;
    void getParameterName(int32_t index, char* text) override;
    // Stores the rate; frame length, window, coefficients and latency stay as built.
    void setSampleRate(float rate) override;
    // Sets the meter parameters 3, 2 and 1 to 0 and then 1, sizes the engine's staging for the
    // announced block size (capped) and resets the framing. The host is not processing now.
    void resume() override;

    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32_t getVendorVersion() override { return 1000; }

protected:
    void setDelay(float value);
    EffectProgram* currentProgram();

    std::unique_ptr<EffectProgram[]> programs;
    std::atomic<int32_t> delaySamples = 0;
    std::unique_ptr<quorvane::DuckingProcessor> processor;
};
