// ExtendedEffectBase: opcodes 25 to 58 and the defaults of the slots added
// for them. Host requests live in host_requests.cpp.
#include "host/effect_base.h"

namespace {

intptr_t truth(bool value) { return value ? 1 : 0; }

}  // namespace

intptr_t ExtendedEffectBase::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                      float opt) {
    // As in EffectBase::dispatch, operations that need a host buffer or record
    // are skipped when ptr is null, answering as if there were nothing to do.
    char* const text = static_cast<char*>(ptr);
    const int32_t value32 = static_cast<int32_t>(value);
    switch (opcode) {
    case effProcessEvents:
        return ptr ? receiveEvents(ptr) : 0;
    case effCanBeAutomated:
        return truth(parameterAutomatable(index));
    case effString2Parameter:
        return text ? truth(parameterFromText(index, text)) : 0;
    case effGetNumProgramCategories:
        return programCategoryCount();
    case effGetProgramNameIndexed:
        return text ? truth(indexedProgramName(value32, index, text)) : 0;
    case effCopyProgram:
        return truth(copyProgramTo(index));
    case effConnectInput:
        onInputPinConnection(index, value != 0);
        return 1;
    case effConnectOutput:
        onOutputPinConnection(index, value != 0);
        return 1;
    case effGetInputProperties:
        return ptr ? truth(inputPinProperties(index, static_cast<VstPinProperties*>(ptr))) : 0;
    case effGetOutputProperties:
        return ptr ? truth(outputPinProperties(index, static_cast<VstPinProperties*>(ptr))) : 0;
    case effGetPlugCategory:
        return plugCategory();
    case effGetCurrentPosition:
        return currentPosition();
    case effGetDestinationBuffer:
        return reinterpret_cast<intptr_t>(destinationBuffer());
    case effOfflineNotify:
        return truth(offlineNotice(ptr, value32, index != 0));
    case effOfflinePrepare:
        return truth(offlineSetup(ptr, value32));
    case effOfflineRun:
        return truth(offlineExecute(ptr, value32));
    case effProcessVarIo:
        return truth(variableIo(ptr));
    case effSetSpeakerArrangement:
        return truth(takeSpeakerArrangement(reinterpret_cast<void*>(value), ptr));
    case effSetBlockSizeAndSampleRate:
        storeBlockSizeAndRate(value32, opt);
        return 1;
    case effSetBypass:
        return truth(bypass(value != 0));
    case effGetEffectName:
        return text ? truth(effectNameText(text)) : 0;
    case effGetErrorText:
        return text ? truth(errorText(text)) : 0;
    case effGetVendorString:
        return text ? truth(vendorText(text)) : 0;
    case effGetProductString:
        return text ? truth(productText(text)) : 0;
    case effGetVendorVersion:
        return vendorVersion();
    case effVendorSpecific:
        return vendorCall(index, value, ptr, opt);
    case effCanDo:
        return text ? capability(text) : 0;
    case effGetTailSize:
        return tailSize();
    case effIdle:
        return idleTick();
    case effGetIcon:
        return reinterpret_cast<intptr_t>(icon());
    case effSetViewPosition:
        return truth(viewPosition(index, value32));
    case effGetParameterProperties:
        return ptr ? truth(parameterProperties(index, ptr)) : 0;
    case effKeysRequired:
        // The interface asks the inverse question: 0 means "keys needed".
        return keysNeeded() ? 0 : 1;
    case effGetVstVersion:
        return interfaceVersion();
    default:
        // Deliberately not virtual, so a further dispatch override is not re-entered.
        return EffectBase::dispatch(opcode, index, value, ptr, opt);
    }
}

int32_t ExtendedEffectBase::receiveEvents(void*) { return 0; }
bool ExtendedEffectBase::parameterAutomatable(int32_t) { return true; }
bool ExtendedEffectBase::parameterFromText(int32_t, char*) { return false; }
float ExtendedEffectBase::channelParameter(int32_t, int32_t) { return 0.0f; }
int32_t ExtendedEffectBase::programCategoryCount() { return 1; }
bool ExtendedEffectBase::indexedProgramName(int32_t, int32_t, char*) { return false; }
bool ExtendedEffectBase::copyProgramTo(int32_t) { return false; }
void ExtendedEffectBase::onInputPinConnection(int32_t, bool) {}
void ExtendedEffectBase::onOutputPinConnection(int32_t, bool) {}
bool ExtendedEffectBase::inputPinProperties(int32_t, VstPinProperties*) { return false; }
bool ExtendedEffectBase::outputPinProperties(int32_t, VstPinProperties*) { return false; }

int32_t ExtendedEffectBase::plugCategory() {
    return (effectRecord.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

void ExtendedEffectBase::setAsync(bool on) { setFlag(effFlagsExtIsAsync, on); }
void ExtendedEffectBase::setExternalBuffer(bool on) { setFlag(effFlagsExtHasBuffer, on); }
int32_t ExtendedEffectBase::currentPosition() { return 0; }
float* ExtendedEffectBase::destinationBuffer() { return nullptr; }
bool ExtendedEffectBase::offlineNotice(void*, int32_t, bool) { return false; }
bool ExtendedEffectBase::offlineSetup(void*, int32_t) { return false; }
bool ExtendedEffectBase::offlineExecute(void*, int32_t) { return false; }
int32_t ExtendedEffectBase::offlinePassCount() { return 0; }
int32_t ExtendedEffectBase::offlineMetaPassCount() { return 0; }
void ExtendedEffectBase::setSynth(bool on) { setFlag(effFlagsIsSynth, on); }
void ExtendedEffectBase::setSilentInStop(bool on) { setFlag(effFlagsNoSoundInStop, on); }
bool ExtendedEffectBase::variableIo(void*) { return false; }
bool ExtendedEffectBase::takeSpeakerArrangement(void*, void*) { return false; }

// The combined request stores without running applyBlockSize/applySampleRate,
// so a derived class's own rate handling does not see it.
void ExtendedEffectBase::storeBlockSizeAndRate(int32_t size, float rate) {
    currentBlockSize = size;
    currentSampleRate = rate;
}

bool ExtendedEffectBase::bypass(bool) { return false; }
bool ExtendedEffectBase::effectNameText(char*) { return false; }
bool ExtendedEffectBase::errorText(char*) { return false; }
bool ExtendedEffectBase::vendorText(char*) { return false; }
bool ExtendedEffectBase::productText(char*) { return false; }
int32_t ExtendedEffectBase::vendorVersion() { return 0; }
intptr_t ExtendedEffectBase::vendorCall(int32_t, intptr_t, void*, float) { return 0; }
int32_t ExtendedEffectBase::capability(char*) { return 0; }
void* ExtendedEffectBase::icon() { return nullptr; }
bool ExtendedEffectBase::viewPosition(int32_t, int32_t) { return false; }
int32_t ExtendedEffectBase::tailSize() { return 0; }
int32_t ExtendedEffectBase::idleTick() { return 0; }
bool ExtendedEffectBase::parameterProperties(int32_t, void*) { return false; }
bool ExtendedEffectBase::keysNeeded() { return false; }
int32_t ExtendedEffectBase::interfaceVersion() { return 2; }
