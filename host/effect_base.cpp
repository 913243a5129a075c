// EffectBase: the AEffect record, the static entries behind its function
// pointers, opcodes 0 to 24 and the defaults of the base slots.
#include "host/effect_base.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "host/editor_base.h"
#include "platform/ui_lock.h"

void* moduleInstance = nullptr;

namespace {

void clearText(char* text) {
    if (text) text[0] = '\0';
}

// A level from the meter as a host VU integer: trunc(level * 32767). Levels a
// broken meter could produce (NaN, far out of range) must not reach an
// undefined float-to-integer conversion.
intptr_t vuFromLevel(float level) {
    const double scaled = static_cast<double>(level) * 32767.0;
    if (std::isnan(scaled)) return 0;
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    constexpr double kMin = std::numeric_limits<int32_t>::min();
    if (scaled >= kMax) return std::numeric_limits<int32_t>::max();
    if (scaled <= kMin) return std::numeric_limits<int32_t>::min();
    return static_cast<intptr_t>(std::trunc(scaled));
}

}  // namespace

EffectBase::EffectBase(audioMasterCallback hostCallback, int32_t programCount, int32_t parameterCount)
    : hostCallback(hostCallback), programCount(programCount), parameterCount(parameterCount) {
    std::memset(&effectRecord, 0, sizeof effectRecord);
    effectRecord.magic = kEffectMagic;
    effectRecord.dispatcher = &EffectBase::dispatchEntry;
    effectRecord.process = &EffectBase::processEntry;
    effectRecord.setParameter = &EffectBase::setParameterEntry;
    effectRecord.getParameter = &EffectBase::getParameterEntry;
    effectRecord.numPrograms = programCount;
    effectRecord.numParams = parameterCount;
    // The derived effect restates its own pin counts.
    effectRecord.numInputs = 1;
    effectRecord.numOutputs = 2;
    effectRecord.ioRatio = 2.0f;
    effectRecord.object = this;
    effectRecord.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    effectRecord.version = 2;
    effectRecord.processReplacing = &EffectBase::processReplacingEntry;
    currentSampleRate = 44100.0f;
    currentBlockSize = 1024;
}

EffectBase::~EffectBase() {
    // Named ownership point: the editor attached itself with a raw pointer.
    delete attachedEditor;
    attachedEditor = nullptr;
}

void EffectBase::putParameter(int32_t, float) {}
float EffectBase::readParameter(int32_t) { return 0.0f; }
void EffectBase::processReplace(float**, float**, int32_t) {}
void EffectBase::onOpen() {}
void EffectBase::onClose() {}
int32_t EffectBase::activeProgram() { return programIndex; }
void EffectBase::selectProgram(int32_t program) { programIndex = program; }
// effSetProgramName hands over the new name: the default keeps no names, and
// must not clear the host's own buffer, which may be read-only.
void EffectBase::renameProgram(char*) {}
void EffectBase::programNameText(char* text) { clearText(text); }
void EffectBase::parameterLabelText(int32_t, char* text) { clearText(text); }
void EffectBase::parameterDisplayText(int32_t, char* text) { clearText(text); }
void EffectBase::parameterNameText(int32_t, char* text) { clearText(text); }
float EffectBase::meterLevel() { return 0.0f; }
int32_t EffectBase::saveChunk(void**, bool) { return 0; }
int32_t EffectBase::loadChunk(void*, int32_t, bool) { return 0; }
void EffectBase::applySampleRate(float rate) { currentSampleRate = rate; }
void EffectBase::applyBlockSize(int32_t size) { currentBlockSize = size; }
void EffectBase::switchOff() {}
void EffectBase::switchOn() {}
void EffectBase::setEffectId(int32_t id) { effectRecord.uniqueID = id; }
void EffectBase::setInputCount(int32_t count) { effectRecord.numInputs = count; }
void EffectBase::setOutputCount(int32_t count) { effectRecord.numOutputs = count; }
void EffectBase::setHasMeter(bool on) { setFlag(effFlagsHasVu, on); }
void EffectBase::setHasClip(bool on) { setFlag(effFlagsHasClip, on); }
void EffectBase::setCanMono(bool on) { setFlag(effFlagsCanMono, on); }
void EffectBase::setCanReplace(bool on) { setFlag(effFlagsCanReplacing, on); }
void EffectBase::setChunkPrograms(bool on) { setFlag(effFlagsProgramChunks, on); }
void EffectBase::setRealtimeQualityCount(int32_t count) { effectRecord.realQualities = count; }
void EffectBase::setOfflineQualityCount(int32_t count) { effectRecord.offQualities = count; }
void EffectBase::setLatencySamples(int32_t frames) { effectRecord.initialDelay = frames; }
float EffectBase::sampleRateSetting() { return currentSampleRate; }

void EffectBase::setFlag(int32_t flag, bool on) {
    effectRecord.flags = on ? (effectRecord.flags | flag) : (effectRecord.flags & ~flag);
}
int32_t EffectBase::blockSizeSetting() { return currentBlockSize; }

intptr_t EffectBase::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    // Operations that read or write through ptr are skipped when a host passes
    // null: the answer is then the one for "nothing to do".
    char* const text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        onOpen();
        return 0;
    case effClose:
        onClose();
        return 0;
    case effSetProgram:
        if (value >= 0 && value < programCount) selectProgram(static_cast<int32_t>(value));
        return 0;
    case effGetProgram:
        return activeProgram();
    case effSetProgramName:
        if (text) renameProgram(text);
        return 0;
    case effGetProgramName:
        if (text) programNameText(text);
        return 0;
    case effGetParamLabel:
        if (text) parameterLabelText(index, text);
        return 0;
    case effGetParamDisplay:
        if (text) parameterDisplayText(index, text);
        return 0;
    case effGetParamName:
        if (text) parameterNameText(index, text);
        return 0;
    case effGetVu:
        return vuFromLevel(meterLevel());
    case effSetSampleRate:
        applySampleRate(opt);
        return 0;
    case effSetBlockSize:
        applyBlockSize(static_cast<int32_t>(value));
        return 0;
    case effMainsChanged:
        if (value == 0) {
            switchOff();
        } else {
            switchOn();
        }
        return 0;
    case effEditGetRect:
        if (!attachedEditor || !ptr) return 0;
        return attachedEditor->queryRect(static_cast<ERect**>(ptr));
    // The editor may also run on a thread of its own (an X11 window's event
    // thread): opening and closing wait for it. The rectangle and the idle
    // call touch nothing that thread does, so the requests a host makes most
    // often never wait, nor hold up a tick that is calling the host.
    case effEditOpen: {
        const uilock::Guard guard;
        if (!attachedEditor) return 0;
        return attachedEditor->openWindow(ptr);
    }
    case effEditClose: {
        const uilock::Guard guard;
        if (attachedEditor) attachedEditor->closeWindow();
        return 0;
    }
    case effEditIdle:
        if (attachedEditor) attachedEditor->onIdle();
        return 0;
    case effIdentify:
        return fourCharCode('N', 'v', 'E', 'f');
    case effGetChunk:
        if (!ptr) return 0;
        return saveChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        if (!ptr) return 0;
        return loadChunk(ptr, static_cast<int32_t>(value), index != 0);
    default:
        // effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep and
        // everything outside 0..24.
        return 0;
    }
}

intptr_t VSTCALLBACK EffectBase::dispatchEntry(AEffect* effect, int32_t opcode, int32_t index,
                                               intptr_t value, void* ptr, float opt) {
    if (!effect || !effect->object) return 0;
    EffectBase* self = fromRecord(effect);
    if (opcode == effClose) {
        // No editor tick may run while the instance is taken apart (its
        // destructor closes a window the host left open).
        const uilock::Guard guard;
        self->dispatch(opcode, index, value, ptr, opt);
        // Named ownership point: the instance was handed to the host by main.
        delete self;
        return 1;
    }
    return self->dispatch(opcode, index, value, ptr, opt);
}

void VSTCALLBACK EffectBase::processEntry(AEffect* effect, float** inputs, float** outputs,
                                          int32_t sampleFrames) {
    if (!effect || !effect->object) return;
    fromRecord(effect)->processAccumulate(inputs, outputs, sampleFrames);
}

void VSTCALLBACK EffectBase::processReplacingEntry(AEffect* effect, float** inputs, float** outputs,
                                                   int32_t sampleFrames) {
    if (!effect || !effect->object) return;
    fromRecord(effect)->processReplace(inputs, outputs, sampleFrames);
}

void VSTCALLBACK EffectBase::setParameterEntry(AEffect* effect, int32_t index, float value) {
    if (!effect || !effect->object) return;
    fromRecord(effect)->putParameter(index, value);
}

float VSTCALLBACK EffectBase::getParameterEntry(AEffect* effect, int32_t index) {
    if (!effect || !effect->object) return 0.0f;
    return fromRecord(effect)->readParameter(index);
}
