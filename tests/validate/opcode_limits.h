// How many bytes each opcode may write through ptr. A host sizes its buffer
// for what the interface lets it expect; a byte past that is host memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/vst2.h"

inline std::size_t writableBytes(int32_t opcode) {
    switch (opcode) {
        case effGetProgramName:
        case effGetProgramNameIndexed:
            return 24;
        case effGetParamLabel:
        case effGetParamDisplay:
            return 9;
        case effGetParamName:
            return 20;
        case effEditGetRect:
        case effGetChunk:
            return sizeof(void*);
        case effGetInputProperties:
        case effGetOutputProperties:
            return sizeof(VstPinProperties);
        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString:
            return 64;
        case effGetErrorText:
            return 256;
        case effGetParameterProperties:
            return 152;  // VstParameterProperties
        default:
            return 0;
    }
}
