// Plug-in-to-host requests. Without a host callback (tests, tools) each
// request answers a fixed default, so an effect built without a host still works.
#include "host/effect_base.h"

intptr_t EffectBase::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (!hostCallback) return 0;
    return hostCallback(&effectRecord, opcode, index, value, ptr, opt);
}

// --- EffectBase

void EffectBase::automateParameter(int32_t index, float value) {
    putParameter(index, value);
    // Sent even for an unchanged value: the host uses it to mark the touch.
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

int32_t EffectBase::hostVersion() {
    // Hosts from before the version request answer 0; they speak version 1.
    const auto version = static_cast<int32_t>(callHost(audioMasterVersion));
    return version == 0 ? 1 : version;
}

int32_t EffectBase::hostCurrentId() {
    return static_cast<int32_t>(callHost(audioMasterCurrentId));
}

void EffectBase::hostIdle() {
    callHost(audioMasterIdle);
}

// audioMasterPinConnected answers 0 for "connected"; without a host every pin is.
bool EffectBase::inputPinConnected(int32_t index) {
    return callHost(audioMasterPinConnected, index, 0) == 0;
}

bool EffectBase::outputPinConnected(int32_t index) {
    return callHost(audioMasterPinConnected, index, 1) == 0;
}

// --- ExtendedEffectBase

void ExtendedEffectBase::requestEvents(int32_t filter) {
    callHost(audioMasterWantMidi, 0, filter);
}

void* ExtendedEffectBase::hostTimeInfo(int32_t filter) {
    return reinterpret_cast<void*>(callHost(audioMasterGetTime, 0, filter));
}

int32_t ExtendedEffectBase::hostTempoAt(int32_t position) {
    return static_cast<int32_t>(callHost(audioMasterTempoAt, 0, position));
}

int32_t ExtendedEffectBase::hostAutomatableCount() {
    return static_cast<int32_t>(callHost(audioMasterGetNumAutomatableParameters));
}

int32_t ExtendedEffectBase::hostParameterQuantization() {
    return static_cast<int32_t>(callHost(audioMasterGetParameterQuantization, 0, 0));
}

bool ExtendedEffectBase::hostIoChanged() {
    return callHost(audioMasterIOChanged) != 0;
}

bool ExtendedEffectBase::hostNeedIdle() {
    return callHost(audioMasterNeedIdle) != 0;
}

bool ExtendedEffectBase::hostSizeWindow(int32_t width, int32_t height) {
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

// The host answers by calling effSetSampleRate (or effSetBlockSize) while it
// serves the request, so the stored value is read afterwards.
float ExtendedEffectBase::refreshSampleRate() {
    callHost(audioMasterGetSampleRate);
    return currentSampleRate;
}

int32_t ExtendedEffectBase::refreshBlockSize() {
    callHost(audioMasterGetBlockSize);
    return currentBlockSize;
}

int32_t ExtendedEffectBase::hostInputLatency() {
    return static_cast<int32_t>(callHost(audioMasterGetInputLatency));
}

int32_t ExtendedEffectBase::hostOutputLatency() {
    return static_cast<int32_t>(callHost(audioMasterGetOutputLatency));
}

// The interface has no argument for the pin number; the host picks the pin.
AEffect* ExtendedEffectBase::hostPreviousEffect(int32_t) {
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug));
}

AEffect* ExtendedEffectBase::hostNextEffect(int32_t) {
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug));
}

int32_t ExtendedEffectBase::hostReplaceOrAccumulate() {
    return static_cast<int32_t>(callHost(audioMasterWillReplaceOrAccumulate));
}

int32_t ExtendedEffectBase::hostProcessLevel() {
    return static_cast<int32_t>(callHost(audioMasterGetCurrentProcessLevel));
}

int32_t ExtendedEffectBase::hostAutomationState() {
    return static_cast<int32_t>(callHost(audioMasterGetAutomationState));
}

bool ExtendedEffectBase::hostOfflineStart(void* files, int32_t fileCount, int32_t newFileCount) {
    return callHost(audioMasterOfflineStart, newFileCount, fileCount, files) != 0;
}

bool ExtendedEffectBase::hostOfflineRead(void* task, int32_t option, bool readSource) {
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, task) != 0;
}

bool ExtendedEffectBase::hostOfflineWrite(void* task, int32_t option) {
    return callHost(audioMasterOfflineWrite, 0, option, task) != 0;
}

// Only whether there is a pass is passed on, not its number.
int32_t ExtendedEffectBase::hostOfflinePass() {
    return callHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0;
}

int32_t ExtendedEffectBase::hostOfflineMetaPass() {
    return callHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}

void ExtendedEffectBase::hostSetOutputRate(float rate) {
    callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}

bool ExtendedEffectBase::hostSpeakerArrangement(void* input, void* output) {
    return callHost(audioMasterGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(input), output) != 0;
}

bool ExtendedEffectBase::hostVendorText(char* text) {
    return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool ExtendedEffectBase::hostProductText(char* text) {
    return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

int32_t ExtendedEffectBase::hostVendorVersion() {
    return static_cast<int32_t>(callHost(audioMasterGetVendorVersion));
}

intptr_t ExtendedEffectBase::hostVendorCall(int32_t index, intptr_t value, void* ptr, float opt) {
    return callHost(audioMasterVendorSpecific, index, value, ptr, opt);
}

bool ExtendedEffectBase::hostCapability(char* text) {
    return callHost(audioMasterCanDo, 0, 0, text) != 0;
}

int32_t ExtendedEffectBase::hostLanguage() {
    return static_cast<int32_t>(callHost(audioMasterGetLanguage));
}

void* ExtendedEffectBase::hostOpenWindow(void* description) {
    return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, description));
}

bool ExtendedEffectBase::hostCloseWindow(void* description) {
    return callHost(audioMasterCloseWindow, 0, 0, description) != 0;
}

void* ExtendedEffectBase::hostDirectory() {
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}

bool ExtendedEffectBase::hostUpdateDisplay() {
    return callHost(audioMasterUpdateDisplay) != 0;
}

// The host accepts the events only by answering exactly 1.
bool ExtendedEffectBase::hostSendEvents(void* events) {
    return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

void ExtendedEffectBase::hostBeginEdit(int32_t index) {
    callHost(audioMasterBeginEdit, index);
}

void ExtendedEffectBase::hostEndEdit(int32_t index) {
    callHost(audioMasterEndEdit, index);
}
