#pragma once
// A recording host: loads the module with dlopen, calls its entry and keeps every request.

#include "shell/aeffect.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

struct HostRequest {
    bool fromEffect; // false for the version request made before the effect exists
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float opt;
};

class TestHost {
public:
    intptr_t versionAnswer = 2400;
    intptr_t sampleRateAnswer = 44100;
    std::vector<HostRequest> requests;

    TestHost() { current() = this; }
    ~TestHost() { current() = nullptr; }

    static TestHost*& current() {
        static TestHost* host = nullptr;
        return host;
    }

    static intptr_t VSTCALLBACK callback(AEffect* effect, int32_t opcode, int32_t index,
                                         intptr_t value, void*, float opt) {
        TestHost* host = current();
        if (!host) return 0;
        host->requests.push_back({effect != nullptr, opcode, index, value, opt});
        switch (opcode) {
        case audioMasterVersion:
            return host->versionAnswer;
        case audioMasterGetSampleRate:
            return host->sampleRateAnswer;
        default:
            return 0;
        }
    }
};

using EntryProc = AEffect* (*)(audioMasterCallback);

// The built module, loaded once per test binary.
class Module {
public:
    static Module& get() {
        static Module module;
        return module;
    }
    void* handle() const { return handle_; }
    EntryProc entry(const char* name) const {
        return reinterpret_cast<EntryProc>(dlsym(handle_, name));
    }
    // The host must be the current one: its callback records the requests.
    AEffect* create(TestHost&) const { return entry("main")(TestHost::callback); }

private:
    Module() : handle_(dlopen(QUORVANE_MODULE, RTLD_NOW | RTLD_LOCAL)) {}
    ~Module() {
        if (handle_) dlclose(handle_);
    }
    void* handle_;
};

inline intptr_t dispatch(AEffect* e, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                         void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

inline std::string textOf(AEffect* e, int32_t opcode, int32_t index = 0, intptr_t value = 0) {
    char text[256];
    std::memset(text, 0x7F, sizeof(text));
    text[255] = 0;
    dispatch(e, opcode, index, value, text);
    return text;
}

// An effect created through the entry and closed at the end of the test.
class Instance {
public:
    explicit Instance(TestHost& host) : effect_(Module::get().create(host)) {}
    ~Instance() {
        if (effect_) dispatch(effect_, effClose);
    }
    AEffect* operator->() const { return effect_; }
    AEffect* get() const { return effect_; }

private:
    AEffect* effect_;
};
