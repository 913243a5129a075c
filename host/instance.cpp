// Creating an instance for the host: what the exported `main` does.
#include <new>

#include "host/effect_base.h"
#include "host/shaper_effect_edit.h"


ShaperEffectEdit::ShaperEffectEdit(audioMasterCallback hostCallback) : ShaperEffect(hostCallback) {
    setEffectId(fourCharCode('V', 'X', 'e', 'd'));
    if (!attachedEditor) {
        outOfMemory = true;
    } else {
        resetEditorState();
    }
}

AEffect* createEffectInstance(audioMasterCallback hostCallback) {
    // Without a callback there is no host to answer the version handshake.
    if (!hostCallback) return nullptr;
    if (hostCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    // The flag reports this construction only: one shortage must not refuse
    // every later instance in the process.
    outOfMemory = false;
    auto* effect = new (std::nothrow) ShaperEffectEdit(hostCallback);
    if (!effect) return nullptr;
    if (outOfMemory) {
        delete effect;
        return nullptr;
    }
    return effect->record();
}
