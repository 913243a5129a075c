// Plug-in-to-host requests. Each wrapper answers a fixed default when the host
// gave no callback, so an effect built without a host (tests, tools) still works.
#include "host/effect_base.h"

intptr_t EffectBase::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (!hostCallback) return 0;
    return hostCallback(&effectRecord, opcode, index, value, ptr, opt);
}

// --- EffectBase

void EffectBase::automateParameter(int32_t index, float value) {
    putParameter(index, value);
    // Sent even for an unchanged value: the host uses it to mark the touch.
    if (hostCallback) callHost(audioMasterAutomate, index, 0, nullptr, value);
}

int32_t EffectBase::hostVersion() {
    if (!hostCallback) return 1;
    const auto version = static_cast<int32_t>(callHost(audioMasterVersion));
    // Hosts from before the version request answer 0; they speak version 1.
    return version == 0 ? 1 : version;
}

int32_t EffectBase::hostCurrentId() {
    return hostCallback ? static_cast<int32_t>(callHost(audioMasterCurrentId)) : 0;
}

void EffectBase::hostIdle() {
    if (hostCallback) callHost(audioMasterIdle);
}

// audioMasterPinConnected answers 0 for "connected".
bool EffectBase::inputPinConnected(int32_t index) {
    return hostCallback ? callHost(audioMasterPinConnected, index, 0) == 0 : true;
}

bool EffectBase::outputPinConnected(int32_t index) {
    return hostCallback ? callHost(audioMasterPinConnected, index, 1) == 0 : true;
}

// --- ExtendedEffectBase

void ExtendedEffectBase::requestEvents(int32_t filter) {
    if (hostCallback) callHost(audioMasterWantMidi, 0, filter);
}

void* ExtendedEffectBase::hostTimeInfo(int32_t filter) {
    if (!hostCallback) return nullptr;
    return reinterpret_cast<void*>(callHost(audioMasterGetTime, 0, filter));
}

int32_t ExtendedEffectBase::hostTempoAt(int32_t position) {
    return hostCallback ? static_cast<int32_t>(callHost(audioMasterTempoAt, 0, position)) : 0;
}

int32_t ExtendedEffectBase::hostAutomatableCount() {
    return hostCallback ? static_cast<int32_t>(callHost(audioMasterGetNumAutomatableParameters)) : 0;
}

int32_t ExtendedEffectBase::hostParameterQuantization() {
    return hostCallback ? static_cast<int32_t>(callHost(audioMasterGetParameterQuantization, 0, 0))
                        : 0;
}

bool ExtendedEffectBase::hostIoChanged() {
    return hostCallback && callHost(audioMasterIOChanged) != 0;
}

bool ExtendedEffectBase::hostNeedIdle() {
    return hostCallback && callHost(audioMasterNeedIdle) != 0;
}

bool ExtendedEffectBase::hostSizeWindow(int32_t width, int32_t height) {
    return hostCallback && callHost(audioMasterSizeWindow, width, height) != 0;
}

// The host answers by calling effSetSampleRate (or effSetBlockSize) while it
// serves the request, so the stored value is read afterwards.
float ExtendedEffectBase::refreshSampleRate() {
    if (hostCallback) callHost(audioMasterGetSampleRate);
    return currentSampleRate;
}

int32_t ExtendedEffectBase::refreshBlockSize() {
    if (hostCallback) callHost(audioMasterGetBlockSize);
    return currentBlockSize;
}

int32_t ExtendedEffectBase::hostInputLatency() {
    return hostCallback ? static_cast<int32_t>(callHost(audioMasterGetInputLatency)) : 0;
}

int32_t ExtendedEffectBase::hostOutputLatency() {
    return hostCallback ? static_cast<int32_t>(callHost(audioMasterGetOutputLatency)) : 0;
}

// The interface has no argument for the pin number; the host picks the pin.
AEffect* ExtendedEffectBase::hostPreviousEffect(int32_t) {
    if (!hostCallback) return nullptr;
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug));
}

AEffect* ExtendedEffectBase::hostNextEffect(int32_t) {
    if (!hostCallback) return nullptr;
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug));
}

int32_t ExtendedEffectBase::hostReplaceOrAccumulate() {
    return hostCallback ? static_cast<int32_t>(callHost(audioMasterWillReplaceOrAccumulate)) : 0;
}

int32_t ExtendedEffectBase::hostProcessLevel() {
    return hostCallback ? static_cast<int32_t>(callHost(audioMasterGetCurrentProcessLevel)) : 0;
}

int32_t ExtendedEffectBase::hostAutomationState() {
    return hostCallback ? static_cast<int32_t>(callHost(audioMasterGetAutomationState)) : 0;
}

bool ExtendedEffectBase::hostOfflineStart(void* files, int32_t fileCount, int32_t newFileCount) {
    return hostCallback && callHost(audioMasterOfflineStart, newFileCount, fileCount, files) != 0;
}

bool ExtendedEffectBase::hostOfflineRead(void* task, int32_t option, bool readSource) {
    return hostCallback &&
           callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, task) != 0;
}

bool ExtendedEffectBase::hostOfflineWrite(void* task, int32_t option) {
    return hostCallback && callHost(audioMasterOfflineWrite, 0, option, task) != 0;
}

int32_t ExtendedEffectBase::hostOfflinePass() {
    return hostCallback && callHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0;
}

int32_t ExtendedEffectBase::hostOfflineMetaPass() {
    return hostCallback && callHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}

void ExtendedEffectBase::hostSetOutputRate(float rate) {
    if (hostCallback) callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}

bool ExtendedEffectBase::hostSpeakerArrangement(void* input, void* output) {
    return hostCallback &&
           callHost(audioMasterGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(input), output) != 0;
}

bool ExtendedEffectBase::hostVendorText(char* text) {
    return hostCallback && callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool ExtendedEffectBase::hostProductText(char* text) {
    return hostCallback && callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

int32_t ExtendedEffectBase::hostVendorVersion() {
    return hostCallback ? static_cast<int32_t>(callHost(audioMasterGetVendorVersion)) : 0;
}

intptr_t ExtendedEffectBase::hostVendorCall(int32_t index, intptr_t value, void* ptr, float opt) {
    return hostCallback ? callHost(audioMasterVendorSpecific, index, value, ptr, opt) : 0;
}

bool ExtendedEffectBase::hostCapability(char* text) {
    return hostCallback && callHost(audioMasterCanDo, 0, 0, text) != 0;
}

int32_t ExtendedEffectBase::hostLanguage() {
    return hostCallback ? static_cast<int32_t>(callHost(audioMasterGetLanguage)) : 0;
}

void* ExtendedEffectBase::hostOpenWindow(void* description) {
    if (!hostCallback) return nullptr;
    return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, description));
}

bool ExtendedEffectBase::hostCloseWindow(void* description) {
    return hostCallback && callHost(audioMasterCloseWindow, 0, 0, description) != 0;
}

void* ExtendedEffectBase::hostDirectory() {
    if (!hostCallback) return nullptr;
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}

bool ExtendedEffectBase::hostUpdateDisplay() {
    return hostCallback && callHost(audioMasterUpdateDisplay) != 0;
}

bool ExtendedEffectBase::hostSendEvents(void* events) {
    return hostCallback && callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}
