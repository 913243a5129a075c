// Loading the plug-in DLL and finding its entry, as the Windows checks' hosts do.
#pragma once

#include <cstdio>

#include "platform/vst2.h"
#include "platform/win32.h"

struct LoadedDll {
    HMODULE library = nullptr;
    VstEntryProc entry = nullptr;
};

/// The DLL and its `main`; on failure both null, after saying why on stderr.
inline LoadedDll loadDll(const char* path) {
    HMODULE library = LoadLibraryA(path);
    if (!library) {
        std::fprintf(stderr, "FAIL: LoadLibraryA(%s): error %lu\n", path, GetLastError());
        return {};
    }
    auto entry = reinterpret_cast<VstEntryProc>(reinterpret_cast<void*>(GetProcAddress(library, "main")));
    if (!entry) {
        std::fprintf(stderr, "FAIL: %s exports no main\n", path);
        FreeLibrary(library);
        return {};
    }
    return {library, entry};
}
