// The product: the effect with its editor, the one class the exported entry
// creates, and the creation that entry performs.
#pragma once

#include "engine/shaper_effect.h"

class ShaperEffectEdit : public ShaperEffect {
public:
    explicit ShaperEffectEdit(audioMasterCallback hostCallback);
};

/// Set when an instance could not get its editor; read by createEffectInstance.
extern bool outOfMemory;

/// What the exported `main` does: version handshake, create one effect, hand back its record.
AEffect* createEffectInstance(audioMasterCallback hostCallback);
