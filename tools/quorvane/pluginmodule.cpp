#include "pluginmodule.h"

#include "toolerror.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>

namespace fs = std::filesystem;

namespace quorvane::cli {

// The host's answers for one instance.
struct HostContext {
    HostSettings settings;
    HostRequestHandler otherRequests;
};

namespace {

constexpr intptr_t kHostVersion = 2400;
constexpr size_t kTextBufferSize = 1024;

// Instances by record, so the callback can tell whose request it answers. During the entry call
// the record is not known yet; the context being created stands in for it on that thread.
std::mutex gRegistryMutex;
std::map<const AEffect*, HostContext*> gRegistry;
thread_local HostContext* tCreating = nullptr;

HostContext* contextFor(const AEffect* effect) {
    {
        std::lock_guard<std::mutex> lock(gRegistryMutex);
        auto found = gRegistry.find(effect);
        if (found != gRegistry.end()) return found->second;
    }
    return tCreating;
}

intptr_t hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt) {
    HostContext* context = contextFor(effect);
    const HostSettings settings = context ? context->settings : HostSettings{};
    switch (opcode) {
    case audioMasterVersion:
        return kHostVersion;
    case audioMasterGetSampleRate:
        return static_cast<intptr_t>(std::lround(settings.sampleRate));
    case audioMasterGetBlockSize:
        return settings.blockSize;
    default:
        if (context && context->otherRequests)
            return context->otherRequests(opcode, index, value, ptr, opt);
        return 0;
    }
}

std::string executableDirectory() {
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}

void checkModuleFile(const std::string& path) {
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) throw fileError(kExitPlugin, path, "no such module file");
    if (fs::is_directory(status)) throw fileError(kExitPlugin, path, "is a folder, not a module");
    if (access(path.c_str(), R_OK) != 0)
        throw fileError(kExitPlugin, path, "cannot be read (" + std::string(strerror(errno)) + ")");
}

} // namespace

std::string pluginPathOrDefault(const std::string& named) {
    if (!named.empty()) return named;
    const fs::path dir = executableDirectory();
    const std::array<fs::path, 2> candidates = {dir / "Quorvane.so",
                                                dir / ".." / "lib" / "vst" / "Quorvane.so"};
    for (const fs::path& candidate : candidates) {
        std::error_code error;
        if (fs::exists(candidate, error)) return candidate.lexically_normal().string();
    }
    throw ToolError(kExitPlugin, "Quorvane.so is neither beside the tool (" +
                                     candidates[0].string() + ") nor installed (" +
                                     candidates[1].lexically_normal().string() +
                                     "); name a module with --plugin PATH");
}

// --- PluginModule -----------------------------------------------------------------------------

PluginModule::PluginModule(const std::string& path) : path_(path) {
    // Load: a bare file name would make the loader search its library path, so anchor it.
    checkModuleFile(path);
    const std::string loadPath = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    handle_ = dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        throw fileError(kExitPlugin, path,
                        std::string("cannot be loaded: ") + (why ? why : "unknown reason"));
    }

    // Entry: the name most Linux hosts look up first, then the classic one.
    for (const char* name : {"VSTPluginMain", "main"}) {
        if (void* symbol = dlsym(handle_, name)) {
            entry_ = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(symbol);
            entryName_ = name;
            return;
        }
    }
    dlclose(handle_);
    throw fileError(kExitPlugin, path,
                    "has no plug-in entry (neither VSTPluginMain nor main is exported)");
}

PluginModule::~PluginModule() {
    if (handle_) dlclose(handle_);
}

AEffect* PluginModule::callEntry(audioMasterCallback callback) const {
    return entry_(callback);
}

// --- PluginInstance ---------------------------------------------------------------------------

PluginInstance::PluginInstance(const PluginModule& module, const HostSettings& settings,
                               HostRequestHandler otherRequests)
    : modulePath_(module.path()), context_(new HostContext{settings, std::move(otherRequests)}) {
    // Create: the entry asks for the version and the sample rate before its record exists.
    tCreating = context_.get();
    effect_ = module.callEntry(hostCallback);
    tCreating = nullptr;
    if (!effect_)
        throw fileError(kExitPlugin, modulePath_,
                        "its entry " + module.entryName() + " returned no effect");
    if (effect_->magic != kEffectMagic || !effect_->dispatcher)
        throw fileError(kExitPlugin, modulePath_,
                        "its entry " + module.entryName() +
                            " did not return a VST 2 effect record");
    latencyAtCreation_ = effect_->initialDelay;
    {
        std::lock_guard<std::mutex> lock(gRegistryMutex);
        gRegistry[effect_] = context_.get();
    }

    // Set up, as a host does before it uses an instance.
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, settings.sampleRate);
    dispatch(effSetBlockSize, 0, settings.blockSize);
}

PluginInstance::~PluginInstance() {
    if (resumed_) suspend();
    dispatch(effClose);
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    gRegistry.erase(effect_);
}

intptr_t PluginInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginInstance::text(int32_t opcode, int32_t index, intptr_t value, intptr_t* answer) {
    std::array<char, kTextBufferSize> buffer{};
    const intptr_t result = dispatch(opcode, index, value, buffer.data());
    if (answer) *answer = result;
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

void PluginInstance::resume() {
    dispatch(effMainsChanged, 0, 1);
    resumed_ = true;
}

void PluginInstance::suspend() {
    dispatch(effMainsChanged, 0, 0);
    resumed_ = false;
}

void PluginInstance::prepare(int32_t maxFrames) {
    // Check: the module must have a way to process audio.
    const bool canReplace =
        (effect_->flags & effFlagsCanReplacing) != 0 && effect_->processReplacing != nullptr;
    if (!canReplace && !effect_->process)
        throw fileError(kExitPlugin, modulePath_, "has no audio processing entry");

    // Buffers: one per pin, at least one frame long, zero-filled.
    maxFrames_ = std::max(maxFrames, 1);
    const auto allocate = [&](int32_t count, auto& store, auto& pointers) {
        store.assign(static_cast<size_t>(std::max(count, 0)),
                     std::vector<float>(static_cast<size_t>(maxFrames_), 0.0f));
        pointers.clear();
        for (auto& channel : store)
            pointers.push_back(channel.data());
    };
    allocate(effect_->numInputs, inputStore_, inputs_);
    allocate(effect_->numOutputs, outputStore_, outputs_);
}

void PluginInstance::process(int32_t frames) {
    frames = std::min(frames, maxFrames_);
    if ((effect_->flags & effFlagsCanReplacing) != 0 && effect_->processReplacing) {
        effect_->processReplacing(effect_, inputs_.data(), outputs_.data(), frames);
        return;
    }
    for (float* channel : outputs_)
        std::fill(channel, channel + frames, 0.0f);
    effect_->process(effect_, inputs_.data(), outputs_.data(), frames);
}

} // namespace quorvane::cli
