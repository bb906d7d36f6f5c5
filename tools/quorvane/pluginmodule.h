#pragma once
// The host side of the plug-in interface: loading a module, creating instances through its entry
// and driving them as a host would. Every failure is a ToolError with kExitPlugin.

#include "shell/aeffect.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvane::cli {

// The module named by --plugin, or when none is named the Quorvane.so this tool was built or
// installed with: next to the executable, else ../lib/vst/ relative to it. ToolError with
// kExitPlugin when neither exists.
std::string pluginPathOrDefault(const std::string& named);

// A loaded module and its entry function. The module stays loaded while this object lives; every
// instance created from it must be gone first.
class PluginModule {
public:
    // Loads the module and looks up VSTPluginMain, else main.
    explicit PluginModule(const std::string& path);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    const std::string& path() const { return path_; }
    const std::string& entryName() const { return entryName_; }
    // Calls the entry with the host callback; null when the entry refuses.
    AEffect* callEntry(audioMasterCallback callback) const;

private:
    std::string path_;
    std::string entryName_;
    void* handle_ = nullptr;
    AEffect* (*entry_)(audioMasterCallback) = nullptr;
};

// What the host tells an instance when asked.
struct HostSettings {
    float sampleRate = 44100.0f;
    int32_t blockSize = 512;
};

// Answers the requests the tool's host callback does not answer itself (everything except the
// version, the sample rate and the block size). May be called on any thread the plug-in likes.
using HostRequestHandler =
    std::function<intptr_t(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)>;

// The host's answers for one instance (defined where the callback lives).
struct HostContext;

// One effect instance. Construction calls the entry, checks the record, then sends effOpen,
// effSetSampleRate and effSetBlockSize; destruction sends effMainsChanged 0 when resumed, then
// effClose.
class PluginInstance {
public:
    PluginInstance(const PluginModule& module, const HostSettings& settings,
                   HostRequestHandler otherRequests = {});
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect& effect() { return *effect_; }
    const AEffect& effect() const { return *effect_; }
    // initialDelay as the record held it right after the entry returned.
    int32_t latencyAtCreation() const { return latencyAtCreation_; }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    // A text request into a zeroed buffer far longer than any official text length; the answer
    // is cut at the first zero byte (or at the end of the buffer).
    std::string text(int32_t opcode, int32_t index = 0, intptr_t value = 0,
                     intptr_t* answer = nullptr);

    // effMainsChanged 1 / 0.
    void resume();
    void suspend();

    // Audio: buffers for every input and output pin, blocks of at most maxFrames. Inputs start
    // silent; callers fill the ones they use before each process call.
    void prepare(int32_t maxFrames);
    float* input(int32_t pin) { return inputs_[pin]; }
    const float* output(int32_t pin) const { return outputs_[pin]; }
    // Runs one block through the replacing entry, or through the accumulating one with zeroed
    // outputs when the module cannot replace.
    void process(int32_t frames);

private:
    std::string modulePath_;
    std::unique_ptr<HostContext> context_;
    AEffect* effect_ = nullptr;
    int32_t latencyAtCreation_ = 0;
    bool resumed_ = false;
    int32_t maxFrames_ = 0;
    std::vector<std::vector<float>> inputStore_;
    std::vector<std::vector<float>> outputStore_;
    std::vector<float*> inputs_;
    std::vector<float*> outputs_;
};

} // namespace quorvane::cli
