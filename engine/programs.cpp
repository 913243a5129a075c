// ShaperEffect: the ten factory programs and the program requests.
#include <cstring>

#include "engine/shaper_effect.h"

namespace {

// One run of 21-character fields; each program takes the first 19 characters.
constexpr char kProgramNames[] =
    "Default              Warming              Raised               Dense                "
    "Duck  Compressed     Rough Compressed     Tightly  Harder      Clean Power          "
    "Raw   Power          Loud as can be       ";
constexpr std::size_t kProgramNameField = 21;
constexpr std::size_t kProgramNameLength = 19;

// Raw values: Ingain, Attack, Release, Drive (0..128), Times Two, Boost (0 or 1).
constexpr float kFactoryRaw[kProgramCount][kParamCount] = {
    {64, 64, 64, 0, 0, 0},     {56, 64, 21, 26, 0, 1},    {64, 115, 12, 77, 0, 0},
    {64, 17, 76, 128, 0, 1},   {64, 0, 128, 128, 1, 1},   {47, 0, 0, 128, 1, 0},
    {64, 81, 111, 128, 1, 1},  {54, 112, 0, 128, 1, 0},   {54, 128, 0, 128, 1, 1},
    {64, 128, 0, 128, 1, 1},
};

bool isProgram(int32_t index) { return index >= 0 && index < kProgramCount; }

// Host name buffers hold 24 bytes (23 characters and the terminator).
void copyName(char* destination, const ParamName& name) {
    if (!destination) return;
    const std::size_t length = strnlen(name.data(), kNameSize - 1);
    std::memcpy(destination, name.data(), length);
    destination[length] = '\0';
}

}  // namespace

void ShaperEffect::fillFactoryPrograms() {
    for (int32_t p = 0; p < kProgramCount; ++p) {
        char name[kProgramNameLength + 1] = {};
        std::memcpy(name, kProgramNames + p * kProgramNameField, kProgramNameLength);
        programIndex = p;
        renameProgram(name);
        for (int32_t i = 0; i < kParamCount; ++i) {
            announceChange = 0;
            putParameter(i, kFactoryRaw[p][i] / rawMaximum[i]);
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
    if (!programs || !isProgram(program)) return;
    programIndex = program;
    for (int32_t i = 0; i < kParamCount; ++i) {
        putParameter(i, programs[program].value[i]);
        // Sets the value again quantised, which the record keeps, and tells the host.
        reportParameter(i);
    }
    updateReadout(kReadoutNone, 0);
}

void ShaperEffect::renameProgram(char* text) {
    if (!programs || !text) return;
    ParamName& name = programs[programIndex].name;
    // A longer host text is cut to the 23 characters the record holds.
    std::strncpy(name.data(), text, kNameSize - 1);
    name[kNameSize - 1] = '\0';
}

void ShaperEffect::programNameText(char* text) {
    if (!text) return;
    if (!programs) {
        text[0] = '\0';
        return;
    }
    copyName(text, programs[programIndex].name);
}

bool ShaperEffect::indexedProgramName(int32_t /*category*/, int32_t index, char* text) {
    if (!programs || !isProgram(index)) return false;
    copyName(text, programs[index].name);
    return true;
}

bool ShaperEffect::copyProgramTo(int32_t destination) {
    if (!programs || !isProgram(destination)) return false;
    const int32_t source = programIndex;
    if (destination != source) programs[destination] = programs[source];
    return true;
}
