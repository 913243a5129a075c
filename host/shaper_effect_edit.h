// The effect with its editor: the one class the exported entry creates.
#pragma once

#include "engine/shaper_effect.h"

class ShaperEffectEdit : public ShaperEffect {
public:
    explicit ShaperEffectEdit(audioMasterCallback hostCallback);
};
