// Creating an instance for the host: what the exported `main` does.
#include "product/shaper_effect_edit.h"

#include <new>

#include "editor/skin_editor.h"

bool outOfMemory = false;

namespace {
// The editor attaches itself to the effect it is built for, which owns it from then on.
void createSkinEditor(ShaperEffect& effect) { new (std::nothrow) SkinEditor(effect, effect, &effect); }
}  // namespace

ShaperEffectEdit::ShaperEffectEdit(audioMasterCallback hostCallback) : ShaperEffect(hostCallback, createSkinEditor) {
    setEffectId(fourCharCode('V', 'X', 'e', 'd'));
    if (!editor()) {
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
