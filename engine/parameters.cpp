// ShaperEffect: construction, the six parameters and the effect's identity.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "engine/shaper_effect.h"
#include "host/editor_base.h"

namespace {

// Each name takes the first 19 characters of its 20-character field.
constexpr char kParamNames[] =
    "Ingain              Attack              Release             Drive               "
    "Times Two           Boost               ";
constexpr std::size_t kParamNameField = 20;
constexpr std::size_t kParamNameLength = 19;

bool isParameter(int32_t index) { return index >= 0 && index < kParamCount; }

// Hosts may send values outside 0..1 or not finite; the raw value stays a
// whole step within range.
float withinRange(float value) {
    if (!(value >= 0.0f)) return 0.0f;
    return value > 1.0f ? 1.0f : value;
}

// Copies a fixed text into a host buffer, which hosts size for these texts.
void copyText(char* destination, const char* text) {
    if (destination) std::strcpy(destination, text);
}

template <typename T>
std::unique_ptr<T[]> allocateArray(std::size_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

}  // namespace

ShaperEffect::ShaperEffect(audioMasterCallback hostCallback, EditorFactory createEditor)
    : ExtendedEffectBase(hostCallback, kProgramCount, kParamCount) {
    mainsOn = 0;
    workAllocated = 0;
    programs = allocateArray<ProgramRecord>(kProgramCount);
    if (programs) {
        for (int32_t p = 0; p < kProgramCount; ++p) std::strcpy(programs[p].name.data(), "-- error --");
    }
    stageStates = allocateArray<StageState>(4);
    if (createEditor) createEditor(*this);

    rawMaximum = {128.0f, 128.0f, 128.0f, 128.0f, 1.0f, 1.0f};
    const float startValues[kParamCount] = {65.0f, 65.0f, 65.0f, 0.0f, 0.0f, 0.0f};
    for (int32_t i = 0; i < kParamCount; ++i) {
        rawValue[i] = startValues[i];
        std::memcpy(paramName[i].data(), kParamNames + i * kParamNameField, kParamNameLength);
        paramName[i][kParamNameLength] = '\0';
    }
    fillFactoryPrograms();
    if (programs) selectProgram(0);

    setEffectId(fourCharCode('V', 'X', 'v', 'n'));
    setInputCount(kPinCount);
    setOutputCount(kPinCount);
    setCanMono(true);
    setCanReplace(true);
    switchOff();
}

ShaperEffect::~ShaperEffect() {
    // Stop the editor's timer while the effect is still whole; the base class
    // destroys the editor itself.
    if (attachedEditor) attachedEditor->closeWindow();
    switchOff();
}

void ShaperEffect::putParameter(int32_t index, float value) {
    if (!isParameter(index)) return;
    value = withinRange(value);
    rawValue[index] = stepFor(index, value);
    if (programs) programs[programIndex].value[index] = value;

    if (announceChange == 1) {
        const int32_t kind = readoutKindOf(index);
        display.readoutKind = kind;
        updateReadout(kind, 1);
    } else {
        updateReadout(kReadoutDrive, 0);
    }
    announceChange = 1;
}

float ShaperEffect::stepFor(int32_t index, float value) const {
    if (!isParameter(index)) return 0.0f;
    return std::trunc(rawMaximum[index] * withinRange(value));
}

float ShaperEffect::readParameter(int32_t index) {
    if (!isParameter(index)) return 0.0f;
    return rawValue[index] / rawMaximum[index];
}

void ShaperEffect::parameterNameText(int32_t index, char* text) {
    copyText(text, isParameter(index) ? paramName[index].data() : "");
}

void ShaperEffect::parameterLabelText(int32_t index, char* text) {
    if (index == kTimesTwo || index == kBoost) return;
    copyText(text, index == kIngain ? "db" : "%");
}

void ShaperEffect::parameterDisplayText(int32_t index, char* text) {
    if (!text) return;
    switch (index) {
        case kIngain:
            floatToText(static_cast<float>(20.0 * std::log10(static_cast<double>(inputGain))), text, 4);
            break;
        case kAttack:
        case kRelease:
        case kDrive:
            floatToText(rawValue[index] / rawMaximum[index] * 100.0f, text, 4);
            break;
        case kTimesTwo:
        case kBoost:
            copyText(text, static_cast<int32_t>(rawValue[index]) != 0 ? "On" : "Off");
            break;
        default:
            copyText(text, "error");
            break;
    }
}

float ShaperEffect::meterLevel() { return 0.0f; }

namespace {
bool pinProperties(int32_t index, VstPinProperties* properties) {
    if (index < 0 || index >= kPinCount) return false;
    if (!properties) return true;
    std::snprintf(properties->label, sizeof properties->label, "VX %1d", static_cast<int>(index + 1));
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}
}  // namespace

bool ShaperEffect::inputPinProperties(int32_t index, VstPinProperties* properties) {
    return pinProperties(index, properties);
}

bool ShaperEffect::outputPinProperties(int32_t index, VstPinProperties* properties) {
    return pinProperties(index, properties);
}

bool ShaperEffect::hostCapability(char* /*text*/) { return false; }

bool ShaperEffect::sendEventsToHost(void* events) { return hostSendEvents(events); }

bool ShaperEffect::effectNameText(char* text) {
    copyText(text, "ORv Varnox");
    return true;
}

bool ShaperEffect::productText(char* text) {
    copyText(text, "Orv Varnox");
    return true;
}

bool ShaperEffect::vendorText(char* text) {
    copyText(text, "Zem v1.0");
    return true;
}

int32_t ShaperEffect::capability(char* text) {
    if (text && (std::strcmp(text, "plugAsChannelInsert") == 0 || std::strcmp(text, "plugAsSend") == 0)) {
        return 1;
    }
    return -1;
}
