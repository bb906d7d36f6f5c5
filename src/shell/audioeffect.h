#pragma once
// Base effect: owns the record the host holds, the host callback, the counts and the editor.

#include "shell/aeffect.h"
#include "shell/saturatingtruncate.h"

#include <atomic>

class AEffEditor;

// Threads. The host calls process and processReplacing on its audio thread, setParameter and
// getParameter on any thread (automation, audio, the editor's), and the dispatcher on threads
// of its choice, re-entering it from inside its own callbacks. What the audio thread shares with
// the others is lock-free: parameter values, the current program number, the sample rate and
// the block size are atomics. Dispatcher calls count themselves in `entries`: an effClose that
// arrives while another call is still running (a host closing the instance from inside
// audioMasterIdle during a drag) closes the editor at once and leaves the destruction to the
// outermost call when it returns.
class AudioEffect {
public:
    // Fills the record; the object must be created with new (effClose deletes it).
    AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
    // Deletes the editor if there is one.
    virtual ~AudioEffect();

    virtual void setParameter(int32_t index, float value);
    virtual float getParameter(int32_t index);
    // Applies the value through setParameter first, then tells the host (audioMasterAutomate).
    virtual void setParameterAutomated(int32_t index, float value);
    virtual void process(float** inputs, float** outputs, int32_t sampleFrames) = 0;
    virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames);
    // Opcodes 0 to 24; any other opcode answers 0.
    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt);
    virtual void open() {}
    virtual void close() {}
    virtual int32_t getProgram() { return curProgram; }
    virtual void setProgram(int32_t program) { curProgram = program; }
    virtual void setProgramName(char* name);
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(int32_t index, char* label);
    virtual void getParameterDisplay(int32_t index, char* text);
    virtual void getParameterName(int32_t index, char* text);
    virtual float getVu() { return 0.0f; }
    virtual int32_t getChunk(void** data, bool isPreset = false);
    virtual int32_t setChunk(void* data, int32_t byteSize, bool isPreset = false);
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(int32_t size) { blockSize = size; }
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setUniqueID(int32_t id) { cEffect.uniqueID = id; }
    virtual void setNumInputs(int32_t inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(int32_t outputs) { cEffect.numOutputs = outputs; }
    virtual void hasVu(bool state = true) { setFlag(effFlagsHasVu, state); }
    virtual void hasClip(bool state = true) { setFlag(effFlagsHasClip, state); }
    virtual void canMono(bool state = true) { setFlag(effFlagsCanMono, state); }
    virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    virtual void setRealtimeQualities(int32_t qualities) { cEffect.realQualities = qualities; }
    virtual void setOfflineQualities(int32_t qualities) { cEffect.offQualities = qualities; }
    virtual void setInitialDelay(int32_t delay) { cEffect.initialDelay = delay; }
    virtual float getSampleRate() { return sampleRate; }
    virtual int32_t getBlockSize() { return blockSize; }
    virtual int32_t getMasterVersion();
    virtual int32_t getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(int32_t input);
    virtual bool isOutputConnected(int32_t output);
    // Display texts, at most 8 characters, always terminated.
    virtual void dB2string(float value, char* text);
    virtual void Hz2string(float samples, char* text);
    virtual void ms2string(float samples, char* text);
    virtual void float2string(float value, char* text);
    virtual void long2string(int32_t value, char* text);

    AEffect* getAeffect() { return &cEffect; }
    // Called by the editor's base constructor: stores it and sets effFlagsHasEditor.
    void setEditor(AEffEditor* newEditor);
    AEffEditor* getEditorPointer() const { return editor; }

    // The record's dispatcher entry brackets every call with these. leaveEntry answers true when
    // the effect was closed and this was the last call still running: the caller then deletes it.
    void enterEntry() { entries.fetch_add(1); }
    bool leaveEntry() { return entries.fetch_sub(1) == 1 && closing.load(); }
    // effClose: closes the editor and marks the effect for destruction.
    void beginClose() noexcept;
    bool isClosing() const { return closing.load(); }
    // Called on the editor's thread once a click's tracking loop has left, inside the click's
    // own entry: ends the gestures the loop began and could not end. Nothing here.
    virtual void endOpenEdits() {}

protected:
    void setFlag(int32_t flag, bool state);
    // The host request behind every wrapper; 0 without a callback.
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);

    std::atomic<float> sampleRate;
    AEffEditor* editor;
    audioMasterCallback audioMaster;
    int32_t numPrograms;
    int32_t numParams;
    std::atomic<int32_t> curProgram;
    std::atomic<int32_t> blockSize;
    AEffect cEffect;

private:
    std::atomic<int32_t> entries{0};
    std::atomic<bool> closing{false};
};
