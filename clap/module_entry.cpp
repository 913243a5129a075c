// The CLAP module's one export, clap_entry, and on Windows the module handle
// the editor loads its bitmaps and registers its window class with.
#include <cstring>

#include "clap/factory.h"
#include "clap/presets.h"

#if defined(_WIN32)
#include "host/effect_base.h"
#include "platform/win32.h"
#define VARNOX_EXPORT __declspec(dllexport)
#else
#define VARNOX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

VARNOX_EXPORT extern const clap_plugin_entry_t clap_entry;
const clap_plugin_entry_t clap_entry = {
    CLAP_VERSION,
    [](const char*) { return true; },
    [] {},
    [](const char* id) -> const void* {
        if (!id) return nullptr;
        if (std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0) return clapface::pluginFactory();
        if (std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID) == 0 ||
            std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT) == 0)
            return clapface::presetDiscoveryFactory();
        return nullptr;
    },
};

#if defined(_WIN32)
BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
    moduleInstance = instance;
    return TRUE;
}
#endif

}  // extern "C"
