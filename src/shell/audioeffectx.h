#pragma once
// Extended effect: opcodes 25 to 76 and the extended host requests. Adds only the gestures the
// editor has begun and not yet ended.

#include "shell/audioeffect.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams)
        : AudioEffect(audioMaster, numPrograms, numParams) {}

    // Opcodes 25 to 76 here; every other opcode goes to AudioEffect::dispatcher.
    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                        float opt) override;

    virtual AEffEditor* getEditor() { return editor; }
    virtual void wantEvents(int32_t filter = 1);
    virtual VstTimeInfo* getTimeInfo(int32_t filter);
    virtual int32_t tempoAt(int32_t pos);
    virtual int32_t processEvents(VstEvents*) { return 0; }
    virtual int32_t getNumAutomatableParameters();
    virtual int32_t getParameterQuantization();
    virtual bool canParameterBeAutomated(int32_t) { return true; }
    virtual bool string2parameter(int32_t, char*) { return false; }
    virtual float getChannelParameter(int32_t, int32_t) { return 0.0f; }
    virtual int32_t getNumCategories() { return 1; }
    virtual bool getProgramNameIndexed(int32_t, int32_t, char*) { return false; }
    virtual bool copyProgram(int32_t) { return false; }
    virtual bool ioChanged();
    virtual bool needIdle();
    virtual bool sizeWindow(int32_t width, int32_t height);
    virtual double updateSampleRate();
    virtual int32_t updateBlockSize();
    virtual int32_t getInputLatency();
    virtual int32_t getOutputLatency();
    virtual AEffect* getPreviousPlug(int32_t input);
    virtual AEffect* getNextPlug(int32_t output);
    virtual void inputConnected(int32_t, bool) {}
    virtual void outputConnected(int32_t, bool) {}
    virtual bool getInputProperties(int32_t, VstPinProperties*) { return false; }
    virtual bool getOutputProperties(int32_t, VstPinProperties*) { return false; }
    virtual int32_t getPlugCategory() { return kPlugCategEffect; }
    virtual int32_t willProcess();
    virtual int32_t getCurrentProcessLevel();
    virtual int32_t getAutomationState();
    virtual void wantAsyncOperation(bool state = true) { setFlag(effFlagsExtIsAsync, state); }
    virtual void hasExternalBuffer(bool state = true) { setFlag(effFlagsExtHasBuffer, state); }
    virtual int32_t reportCurrentPosition() { return 0; }
    virtual float* reportDestinationBuffer() { return nullptr; }
    virtual bool offlineRead(VstOfflineTask* offline, int32_t option, bool readSource = true);
    virtual bool offlineWrite(VstOfflineTask* offline, int32_t option);
    virtual bool offlineStart(VstAudioFile* ptr, int32_t numAudioFiles, int32_t numNewAudioFiles);
    virtual int32_t offlineGetCurrentPass();
    virtual int32_t offlineGetCurrentMetaPass();
    virtual bool offlineNotify(VstAudioFile*, int32_t, bool) { return false; }
    virtual bool offlinePrepare(VstOfflineTask*, int32_t) { return false; }
    virtual bool offlineRun(VstOfflineTask*, int32_t) { return false; }
    virtual int32_t offlineGetNumPasses() { return 0; }
    virtual int32_t offlineGetNumMetaPasses() { return 0; }
    virtual void setOutputSamplerate(float samplerate);
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual int32_t getHostVendorVersion();
    virtual intptr_t hostVendorSpecific(int32_t lArg1, intptr_t lArg2, void* ptrArg,
                                        float floatArg);
    virtual int32_t canHostDo(char* text);
    virtual void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }
    virtual void noTail(bool state = true) { setFlag(effFlagsNoSoundInStop, state); }
    virtual int32_t getHostLanguage();
    virtual void* openWindow(void* window);
    virtual bool closeWindow(void* window);
    virtual void* getDirectory();
    virtual bool updateDisplay();
    virtual bool processVariableIo(VstVariableIo*) { return false; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*) {
        return false;
    }
    // Both places are set to null; a null place is left alone.
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                       VstSpeakerArrangement** pluginOutput);
    // Stores both values directly: the engine is not told.
    virtual bool setBlockSizeAndSampleRate(int32_t size, float rate);
    virtual bool setBypass(bool) { return false; }
    virtual bool getEffectName(char*) { return false; }
    virtual bool getErrorText(char*) { return false; }
    virtual bool getVendorString(char*) { return false; }
    virtual bool getProductString(char*) { return false; }
    virtual int32_t getVendorVersion() { return 0; }
    virtual intptr_t vendorSpecific(int32_t, intptr_t, void*, float) { return 0; }
    virtual int32_t canDo(char*) { return 0; }
    virtual void* getIcon() { return nullptr; }
    virtual bool setViewPosition(int32_t, int32_t) { return false; }
    virtual int32_t getGetTailSize() { return 0; }
    virtual int32_t fxIdle() { return 0; }
    virtual bool getParameterProperties(int32_t, VstParameterProperties*) { return false; }
    virtual bool keysRequired() { return false; }
    virtual int32_t getVstVersion() { return 2300; }
    virtual int32_t getMidiProgramName(int32_t, MidiProgramName*) { return 0; }
    virtual int32_t getCurrentMidiProgram(int32_t, MidiProgramName*) { return -1; }
    virtual int32_t getMidiProgramCategory(int32_t, MidiProgramCategory*) { return 0; }
    virtual bool hasMidiProgramsChanged(int32_t) { return false; }
    virtual bool getMidiKeyName(int32_t, MidiKeyName*) { return false; }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    // Gesture brackets of the editor's controls, on the editor's thread. An index from 0 to 63
    // stays open from its begin to its end.
    virtual bool beginEdit(int32_t index);
    virtual bool endEdit(int32_t index);
    // A host that closes the editor during a drag (from inside audioMasterIdle) cuts the
    // tracking loop short before its end edit: the effect, which still lives, sends the end edit
    // of every gesture still open, so that the host hears one for every begin. While the effect
    // is being closed it sends nothing and only forgets them.
    void endOpenEdits() override;
    virtual bool openFileSelector(VstFileSelect* ptr);
    virtual int32_t setTotalSampleToProcess(int32_t value) { return value; }
    virtual int32_t getNextShellPlugin(char*) { return 0; }
    virtual int32_t startProcess() { return 0; }
    virtual int32_t stopProcess() { return 0; }
    virtual bool setPanLaw(int32_t, float) { return false; }
    virtual int32_t beginLoadBank(VstPatchChunkInfo*) { return 0; }
    virtual int32_t beginLoadProgram(VstPatchChunkInfo*) { return 0; }
    // Speaker-arrangement tools; this effect never builds an arrangement.
    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, int32_t nbChannels);
    virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);

private:
    // Bit i: a begin edit of index i went out without its end edit.
    uint64_t openEdits = 0;
};
