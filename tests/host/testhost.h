#pragma once
// A recording host: loads the module as a host of the platform does (dlopen, LoadLibrary),
// calls its entry and keeps every request.

#include "moduleloader.h"
#include "shell/aeffect.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
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

// The built module, loaded once per test binary.
class Module {
public:
    static Module& get() {
        static Module module;
        return module;
    }
    // The built module, or the one QUORVANE_TEST_MODULE names (an installed copy, for example;
    // on Windows a path may be a Windows one).
    static std::string path() {
        const char* chosen = std::getenv("QUORVANE_TEST_MODULE");
        return chosen && *chosen ? chosen : QUORVANE_MODULE;
    }
    void* handle() const { return handle_; }
    // The host must be the current one: its callback records the requests.
    AEffect* create(TestHost&) const { return entry("main")(TestHost::callback); }

    EntryProc entry(const char* name) const { return moduleEntry(handle_, name); }

#if defined(_WIN32)
    // The names in the export table of the loaded image.
    std::set<std::string> exportedNames() const {
        auto* base = static_cast<const unsigned char*>(handle_);
        auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir =
            nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
        std::set<std::string> names;
        if (dir.Size == 0) return names;
        auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
        auto* nameTable = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
        for (DWORD i = 0; i < exports->NumberOfNames; ++i)
            names.insert(reinterpret_cast<const char*>(base + nameTable[i]));
        return names;
    }

#else
    // The dynamic symbols the module defines.
    std::set<std::string> exportedNames() const {
        std::string command = "nm -D --defined-only '" + path() + "'";
        std::set<std::string> symbols;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return symbols;
        char line[512];
        while (std::fgets(line, sizeof(line), pipe)) {
            char address[64], type[8], name[400];
            if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3) symbols.insert(name);
        }
        if (pclose(pipe) != 0) symbols.insert("(nm failed)");
        return symbols;
    }

#endif

private:
    Module() : handle_(loadModule(path())) {}
    ~Module() {
        if (handle_) unloadModule(handle_);
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
