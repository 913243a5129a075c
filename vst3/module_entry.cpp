// The VST 3 module's exported entries: the factory, and the load and unload
// calls each platform's hosts make.
#include "platform/vst3/base.h"
#include "vst3/factory.h"

#if defined(_WIN32)
#include "host/effect_base.h"
#include "platform/win32.h"
#define VARNOX_EXPORT
#else
#define VARNOX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" VARNOX_EXPORT vst3::IPluginFactory* VST3_API GetPluginFactory() { return vst3face::pluginFactory(); }

#if defined(_WIN32)
// The editor registers its window class and loads its bitmaps with this module's handle.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
    moduleInstance = instance;
    return TRUE;
}
extern "C" bool InitDll() { return true; }
extern "C" bool ExitDll() { return true; }
#else
extern "C" VARNOX_EXPORT bool ModuleEntry(void* /*sharedLibraryHandle*/) { return true; }
extern "C" VARNOX_EXPORT bool ModuleExit() { return true; }
#endif
