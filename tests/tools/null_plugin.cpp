// A plug-in library whose entry makes no effect, as one does when it cannot
// get its memory: the host must report it and write nothing.
#include "platform/vst2.h"

extern "C" __attribute__((visibility("default"))) AEffect* nullEntry(audioMasterCallback) __asm__("main");
extern "C" AEffect* nullEntry(audioMasterCallback) { return nullptr; }
