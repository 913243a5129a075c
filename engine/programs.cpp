// ShaperEffect: the ten factory programs and the VST 2 program requests.
#include <cstring>

#include "engine/padded_name.h"
#include "engine/shaper_effect.h"

namespace {

// Host name buffers hold 24 bytes (23 characters and the terminator).
void copyName(char* destination, const ProgramName& name) {
    if (!destination) return;
    const std::size_t length = strnlen(name.data(), kNameSize - 1);
    std::memcpy(destination, name.data(), length);
    destination[length] = '\0';
}

}  // namespace

// The records are filled as a host would set them, parameter by parameter,
// unannounced; the coefficients follow along and the readout ends empty.
void ShaperEffect::fillFactoryPrograms() {
    for (int32_t p = 0; p < kProgramCount; ++p) {
        char name[kPaddedNameLength + 1];
        padName(kFactoryPrograms[p].name, name);
        programIndex = p;
        renameProgram(name);
        for (int32_t i = 0; i < kParamCount; ++i) {
            announceChange = 0;
            putParameter(i, factoryRaw(p, i) / rawMaximum[i]);
        }
    }
    programIndex = 0;
    announceChange = 0;
    display.clipLevel = 0.0f;
    display.x2Fade = 0.0f;
    display.boostFade = 0.0f;
    updateReadout(kReadoutNone, 0);
}

void ShaperEffect::selectProgram(int32_t program) {
    if (!isProgram(program)) return;
    programIndex = program;
    for (int32_t i = 0; i < kParamCount; ++i) {
        putParameter(i, programs[program].value[i]);
        // Sets the value again quantised, which the record keeps, and tells the host.
        reportParameter(i);
    }
    updateReadout(kReadoutNone, 0);
}

void ShaperEffect::renameProgram(char* text) {
    if (!text) return;
    ProgramName& name = programs[programIndex].name;
    // A longer host text is cut to the 23 characters the record holds.
    std::strncpy(name.data(), text, kNameSize - 1);
    name[kNameSize - 1] = '\0';
}

void ShaperEffect::programNameText(char* text) { copyName(text, programs[programIndex].name); }

bool ShaperEffect::indexedProgramName(int32_t /*category*/, int32_t index, char* text) {
    if (!isProgram(index)) return false;
    copyName(text, programs[index].name);
    return true;
}

bool ShaperEffect::copyProgramTo(int32_t destination) {
    if (!isProgram(destination)) return false;
    const int32_t source = programIndex;
    if (destination != source) programs[destination] = programs[source];
    return true;
}
