// ShaperEffect: construction, the six parameters as VST 2 hosts see them,
// the editor's edits, and the effect's identity.
#include <cstdio>
#include <cstring>

#include "core/value_text.h"
#include "engine/padded_name.h"
#include "engine/shaper_effect.h"
#include "host/editor_base.h"

namespace {

// Copies a fixed text into a host buffer, which hosts size for these texts.
void copyText(char* destination, const char* text) {
    if (destination) std::strcpy(destination, text);
}

}  // namespace

ShaperEffect::ShaperEffect(audioMasterCallback hostCallback, EditorFactory createEditor)
    : ExtendedEffectBase(hostCallback, kProgramCount, kParamCount) {
    if (createEditor) createEditor(*this);
    fillFactoryPrograms();
    selectProgram(0);

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
    setParameter(index, value, announceChange == 1, programIndex);
    announceChange = 1;
}

float ShaperEffect::readParameter(int32_t index) { return normalized(index); }

void ShaperEffect::reportParameter(int32_t index) {
    if (!isParameter(index)) return;
    announceChange = 0;
    automateParameter(index, normalized(index));
}

void ShaperEffect::beginEdit(int32_t index) { hostBeginEdit(index); }

void ShaperEffect::performEdit(int32_t index, float raw) {
    storeRaw(index, raw);
    reportParameter(index);
}

void ShaperEffect::endEdit(int32_t index) { hostEndEdit(index); }

void ShaperEffect::resetEditorState() {
    for (int32_t i = 0; i < kParamCount; ++i) storeRaw(i, factoryRaw(0, i));
    display.clipLevel = 0.0f;
    display.readoutText.clear();
    display.readoutHold = 0;
    display.readoutKind = 0;
    display.peakRight = 0.0f;
    display.peakLeft = 0.0f;
    display.tubeGlow = 0.0f;
    display.readoutText.terminateStorage();
}

void ShaperEffect::parameterNameText(int32_t index, char* text) {
    if (!text) return;
    if (!isParameter(index)) {
        text[0] = '\0';
        return;
    }
    padName(kParameters[index].name, text);
}

void ShaperEffect::parameterLabelText(int32_t index, char* text) {
    // The switches leave the host's text as it is; any other index reads "%".
    if (index == kTimesTwo || index == kBoost) return;
    copyText(text, isParameter(index) ? kParameters[index].unit : "%");
}

void ShaperEffect::parameterDisplayText(int32_t index, char* text) {
    if (!text) return;
    copyText(text, isParameter(index) ? valueText(kParameters[index], rawValue[index]).c_str() : "error");
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
