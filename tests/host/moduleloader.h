#pragma once
// Loads a plug-in module and finds its entries the way a host of the platform does: dlopen on
// Linux, LoadLibrary on Windows (where a path under / is on wine's drive Z:).

#include "shell/aeffect.h"

#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

using EntryProc = AEffect* (*)(audioMasterCallback);

inline void* loadModule(const std::string& path) {
#if defined(_WIN32)
    std::string windowsPath = path;
    if (!windowsPath.empty() && windowsPath[0] == '/') windowsPath = "Z:" + windowsPath;
    for (char& c : windowsPath)
        if (c == '/') c = '\\';
    return LoadLibraryA(windowsPath.c_str());
#else
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

inline EntryProc moduleEntry(void* module, const char* name) {
#if defined(_WIN32)
    return reinterpret_cast<EntryProc>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name)));
#else
    return reinterpret_cast<EntryProc>(dlsym(module, name));
#endif
}

inline void unloadModule(void* module) {
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(module));
#else
    dlclose(module);
#endif
}
