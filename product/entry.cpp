// The library's exported entry and, on Windows, its entry routine.
#include "product/shaper_effect_edit.h"

#if defined(_WIN32)
#include "platform/win32.h"
#define VARNOX_EXPORT
#else
#define VARNOX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" VARNOX_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback) {
    return createEffectInstance(hostCallback);
}

#if defined(_WIN32)
// The module-definition file exports VSTPluginMain under the name "main" only.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
    moduleInstance = instance;
    return TRUE;
}
#else
// C++ reserves the name main for the program's entry, so the symbol hosts look
// for is bound by assembler label to a function of another name.
extern "C" VARNOX_EXPORT AEffect* vstMainEntry(audioMasterCallback hostCallback) __asm__("main");
extern "C" AEffect* vstMainEntry(audioMasterCallback hostCallback) {
    return createEffectInstance(hostCallback);
}
#endif
