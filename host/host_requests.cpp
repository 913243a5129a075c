// Plug-in-to-host requests. Without a host callback (tests, tools) each
// request answers a fixed default, so an effect built without a host still works.
#include "host/effect_base.h"

std::optional<intptr_t> EffectBase::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                             float opt) {
    if (!hostCallback) return std::nullopt;
    return hostCallback(&effectRecord, opcode, index, value, ptr, opt);
}

namespace {

// The three ways a request reads the host's answer.
intptr_t asIs(std::optional<intptr_t> answer) {
    return answer.value_or(0);
}
bool nonZero(std::optional<intptr_t> answer) {
    return answer.value_or(0) != 0;
}
template <typename T>
T* asPointer(std::optional<intptr_t> answer) {
    return reinterpret_cast<T*>(answer.value_or(0));
}

}  // namespace

// --- EffectBase

void EffectBase::automateParameter(int32_t index, float value) {
    putParameter(index, value);
    // Sent even for an unchanged value: the host uses it to mark the touch.
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

int32_t EffectBase::hostVersion() {
    // Hosts from before the version request answer 0; they speak version 1.
    const auto version = static_cast<int32_t>(asIs(callHost(audioMasterVersion)));
    return version == 0 ? 1 : version;
}

int32_t EffectBase::hostCurrentId() {
    return static_cast<int32_t>(asIs(callHost(audioMasterCurrentId)));
}

void EffectBase::hostIdle() {
    callHost(audioMasterIdle);
}

// audioMasterPinConnected answers 0 for "connected"; without a host every pin is.
bool EffectBase::inputPinConnected(int32_t index) {
    return asIs(callHost(audioMasterPinConnected, index, 0)) == 0;
}

bool EffectBase::outputPinConnected(int32_t index) {
    return asIs(callHost(audioMasterPinConnected, index, 1)) == 0;
}

// --- ExtendedEffectBase

void ExtendedEffectBase::requestEvents(int32_t filter) {
    callHost(audioMasterWantMidi, 0, filter);
}

void* ExtendedEffectBase::hostTimeInfo(int32_t filter) {
    return asPointer<void>(callHost(audioMasterGetTime, 0, filter));
}

int32_t ExtendedEffectBase::hostTempoAt(int32_t position) {
    return static_cast<int32_t>(asIs(callHost(audioMasterTempoAt, 0, position)));
}

int32_t ExtendedEffectBase::hostAutomatableCount() {
    return static_cast<int32_t>(asIs(callHost(audioMasterGetNumAutomatableParameters)));
}

int32_t ExtendedEffectBase::hostParameterQuantization() {
    return static_cast<int32_t>(asIs(callHost(audioMasterGetParameterQuantization, 0, 0)));
}

bool ExtendedEffectBase::hostIoChanged() {
    return nonZero(callHost(audioMasterIOChanged));
}

bool ExtendedEffectBase::hostNeedIdle() {
    return nonZero(callHost(audioMasterNeedIdle));
}

bool ExtendedEffectBase::hostSizeWindow(int32_t width, int32_t height) {
    return nonZero(callHost(audioMasterSizeWindow, width, height));
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
    return static_cast<int32_t>(asIs(callHost(audioMasterGetInputLatency)));
}

int32_t ExtendedEffectBase::hostOutputLatency() {
    return static_cast<int32_t>(asIs(callHost(audioMasterGetOutputLatency)));
}

// The interface has no argument for the pin number; the host picks the pin.
AEffect* ExtendedEffectBase::hostPreviousEffect(int32_t) {
    return asPointer<AEffect>(callHost(audioMasterGetPreviousPlug));
}

AEffect* ExtendedEffectBase::hostNextEffect(int32_t) {
    return asPointer<AEffect>(callHost(audioMasterGetNextPlug));
}

int32_t ExtendedEffectBase::hostReplaceOrAccumulate() {
    return static_cast<int32_t>(asIs(callHost(audioMasterWillReplaceOrAccumulate)));
}

int32_t ExtendedEffectBase::hostProcessLevel() {
    return static_cast<int32_t>(asIs(callHost(audioMasterGetCurrentProcessLevel)));
}

int32_t ExtendedEffectBase::hostAutomationState() {
    return static_cast<int32_t>(asIs(callHost(audioMasterGetAutomationState)));
}

bool ExtendedEffectBase::hostOfflineStart(void* files, int32_t fileCount, int32_t newFileCount) {
    return nonZero(callHost(audioMasterOfflineStart, newFileCount, fileCount, files));
}

bool ExtendedEffectBase::hostOfflineRead(void* task, int32_t option, bool readSource) {
    return nonZero(callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, task));
}

bool ExtendedEffectBase::hostOfflineWrite(void* task, int32_t option) {
    return nonZero(callHost(audioMasterOfflineWrite, 0, option, task));
}

// Only whether there is a pass is passed on, not its number.
int32_t ExtendedEffectBase::hostOfflinePass() {
    return nonZero(callHost(audioMasterOfflineGetCurrentPass)) ? 1 : 0;
}

int32_t ExtendedEffectBase::hostOfflineMetaPass() {
    return nonZero(callHost(audioMasterOfflineGetCurrentMetaPass)) ? 1 : 0;
}

void ExtendedEffectBase::hostSetOutputRate(float rate) {
    callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}

bool ExtendedEffectBase::hostSpeakerArrangement(void* input, void* output) {
    return nonZero(callHost(audioMasterGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(input), output));
}

bool ExtendedEffectBase::hostVendorText(char* text) {
    return nonZero(callHost(audioMasterGetVendorString, 0, 0, text));
}

bool ExtendedEffectBase::hostProductText(char* text) {
    return nonZero(callHost(audioMasterGetProductString, 0, 0, text));
}

int32_t ExtendedEffectBase::hostVendorVersion() {
    return static_cast<int32_t>(asIs(callHost(audioMasterGetVendorVersion)));
}

intptr_t ExtendedEffectBase::hostVendorCall(int32_t index, intptr_t value, void* ptr, float opt) {
    return asIs(callHost(audioMasterVendorSpecific, index, value, ptr, opt));
}

bool ExtendedEffectBase::hostCapability(char* text) {
    return nonZero(callHost(audioMasterCanDo, 0, 0, text));
}

int32_t ExtendedEffectBase::hostLanguage() {
    return static_cast<int32_t>(asIs(callHost(audioMasterGetLanguage)));
}

void* ExtendedEffectBase::hostOpenWindow(void* description) {
    return asPointer<void>(callHost(audioMasterOpenWindow, 0, 0, description));
}

bool ExtendedEffectBase::hostCloseWindow(void* description) {
    return nonZero(callHost(audioMasterCloseWindow, 0, 0, description));
}

void* ExtendedEffectBase::hostDirectory() {
    return asPointer<void>(callHost(audioMasterGetDirectory));
}

bool ExtendedEffectBase::hostUpdateDisplay() {
    return nonZero(callHost(audioMasterUpdateDisplay));
}

// The host accepts the events only by answering exactly 1.
bool ExtendedEffectBase::hostSendEvents(void* events) {
    return asIs(callHost(audioMasterProcessEvents, 0, 0, events)) == 1;
}
