#include "vst3/component.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "vst3/editor_view.h"
#include "vst3/identity.h"
#include "vst3/parameters.h"
#include "vst3/texts.h"

namespace vst3face {

using namespace vst3;

namespace {

// Enough silence for any ordinary block before the host tells its size.
constexpr std::size_t kDefaultSilence = 4096;

bool isEffectParameter(ParamID id) { return id < static_cast<ParamID>(kEffectParameterCount); }

double clamped(double normalized) {
    if (!(normalized > 0.0)) return 0.0;
    return normalized > 1.0 ? 1.0 : normalized;
}

}  // namespace

Component::Component() {
    for (auto& buffer : silence) buffer.assign(kDefaultSilence, 0.0f);
}

Component::~Component() {
    if (handler) handler->release();
}

// --- FUnknown

tresult VST3_API Component::queryInterface(const TUID iid, void** obj) {
    // IComponent and IEditController both derive from IPluginBase: the component's answers.
    const char* asked = IPluginBase::iid.matches(iid) ? IComponent::iid.bytes : iid;
    return answerQuery<IComponent, IAudioProcessor, IEditController, IUnitInfo, IProcessContextRequirements>(
        this, asked, obj);
}

uint32 VST3_API Component::addRef() { return ++references; }

uint32 VST3_API Component::release() {
    const uint32 left = --references;
    if (left == 0) delete this;
    return left;
}

// --- IPluginBase

tresult VST3_API Component::initialize(FUnknown* /*context*/) {
    if (initialized) return kResultFalse;
    initialized = true;
    return kResultOk;
}

tresult VST3_API Component::terminate() {
    // Hosts that see one object as component and controller may end it twice.
    if (!initialized) return kResultOk;
    if (active) setActive(false);
    if (editorOwner) editorOwner->removed();
    setComponentHandler(nullptr);
    initialized = false;
    return kResultOk;
}

// --- IComponent

tresult VST3_API Component::getControllerClassId(TUID /*classId*/) { return kResultFalse; }

tresult VST3_API Component::setIoMode(IoMode /*mode*/) { return kNotImplemented; }

int32 VST3_API Component::getBusCount(MediaType type, BusDirection dir) {
    return type == kAudio && (dir == kInput || dir == kOutput) ? 1 : 0;
}

tresult VST3_API Component::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) {
    if (type != kAudio || (dir != kInput && dir != kOutput) || index != 0) return kInvalidArgument;
    bus.mediaType = kAudio;
    bus.direction = dir;
    bus.channelCount = 2;
    toString128(dir == kInput ? "Input" : "Output", bus.name);
    bus.busType = kMain;
    bus.flags = BusInfo::kDefaultActive;
    return kResultOk;
}

tresult VST3_API Component::getRoutingInfo(RoutingInfo& /*inInfo*/, RoutingInfo& /*outInfo*/) {
    return kNotImplemented;
}

tresult VST3_API Component::activateBus(MediaType type, BusDirection dir, int32 index, TBool /*state*/) {
    if (type != kAudio || (dir != kInput && dir != kOutput) || index != 0) return kInvalidArgument;
    return kResultOk;
}

tresult VST3_API Component::setActive(TBool state) {
    if (state) {
        // Allocates the effect's work buffers: never on the audio thread.
        effect.switchOn();
        active = effect.isSwitchedOn();
        return active ? kResultOk : kOutOfMemory;
    }
    effect.switchOff();
    active = false;
    return kResultOk;
}

SavedState Component::currentState() const {
    SavedState state;
    for (int32_t i = 0; i < kEffectParameterCount; ++i) state.values[i] = effect.readParameter(i);
    state.program = effect.programNumber();
    state.bypass = bypass.load();
    return state;
}

void Component::applyState(const SavedState& state) {
    HostSideScope hostSide;
    applyProgram(state.program);
    for (int32_t i = 0; i < kEffectParameterCount; ++i) applyHostValue(i, state.values[i]);
    bypass = state.bypass;
}

tresult Component::restoreFrom(IBStream* stream) {
    if (!stream) return kInvalidArgument;
    const std::optional<SavedState> state = readState(*stream);
    if (!state) return kResultFalse;
    applyState(*state);
    return kResultOk;
}

tresult VST3_API Component::setState(IBStream* state) { return restoreFrom(state); }

tresult VST3_API Component::getState(IBStream* state) {
    if (!state) return kInvalidArgument;
    return writeState(*state, currentState()) ? kResultOk : kResultFalse;
}

// --- IAudioProcessor

tresult VST3_API Component::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                               SpeakerArrangement* outputs, int32 numOuts) {
    // Stereo in, stereo out, nothing else; the buses stay stereo either way.
    const bool stereo = numIns == 1 && numOuts == 1 && inputs && outputs && inputs[0] == SpeakerArr::kStereo &&
                        outputs[0] == SpeakerArr::kStereo;
    return stereo ? kResultTrue : kResultFalse;
}

tresult VST3_API Component::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) {
    if ((dir != kInput && dir != kOutput) || index != 0) return kInvalidArgument;
    arr = SpeakerArr::kStereo;
    return kResultOk;
}

tresult VST3_API Component::canProcessSampleSize(int32 symbolicSampleSize) {
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

uint32 VST3_API Component::getLatencySamples() { return 0; }

tresult VST3_API Component::setupProcessing(ProcessSetup& setup) {
    if (active) return kResultFalse;
    if (setup.symbolicSampleSize != kSample32) return kResultFalse;
    if (!(setup.sampleRate > 0.0) || setup.maxSamplesPerBlock <= 0) return kInvalidArgument;
    effect.applySampleRate(static_cast<float>(setup.sampleRate));
    effect.applyBlockSize(setup.maxSamplesPerBlock);
    const std::size_t frames = std::max<std::size_t>(kDefaultSilence, static_cast<std::size_t>(setup.maxSamplesPerBlock));
    for (auto& buffer : silence) buffer.assign(frames, 0.0f);
    return kResultOk;
}

// The effect's state is reset by setActive; this may come on the audio thread,
// where nothing is allocated.
tresult VST3_API Component::setProcessing(TBool /*state*/) { return active ? kResultOk : kResultFalse; }

// Once the input is silent the stages settle within two samples (a smoother
// step, then the second stage's), after which the output is exactly 0.
uint32 VST3_API Component::getTailSamples() { return 2; }

uint32 VST3_API Component::getProcessContextRequirements() { return 0; }

// --- IEditController

tresult VST3_API Component::setComponentState(IBStream* state) { return restoreFrom(state); }

int32 VST3_API Component::getParameterCount() { return kParameterCount; }

tresult VST3_API Component::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
    if (paramIndex < 0 || paramIndex >= kParameterCount) return kInvalidArgument;
    const ParameterRow& row = kParameterRows[paramIndex];
    std::memset(&info, 0, sizeof info);
    info.id = row.id;
    info.stepCount = row.stepCount;
    info.flags = row.flags;
    info.unitId = kRootUnitId;
    if (isEffectParameter(row.id)) {
        const auto index = static_cast<int32_t>(row.id);
        // The VST 2 names carry blanks up to 19 characters; titles do without.
        toString128(trimmed(effect.parameterName(index)), info.title);
        toString128(trimmed(effect.parameterName(index)), info.shortTitle);
        toString128(effect.parameterLabel(index), info.units);
        std::lock_guard<std::mutex> lock(scratchMutex);
        info.defaultNormalizedValue = scratch.readParameter(index);  // the scratch effect keeps program 0
    } else if (row.id == kBypassId) {
        toString128("Bypass", info.title);
        toString128("Bypass", info.shortTitle);
    } else {
        toString128("Program", info.title);
        toString128("Program", info.shortTitle);
    }
    return kResultOk;
}

std::string Component::textFor(int32_t index, double normalized) {
    std::lock_guard<std::mutex> lock(scratchMutex);
    const float before = scratch.readParameter(index);
    scratch.putParameter(index, static_cast<float>(clamped(normalized)));
    std::string text = scratch.parameterDisplay(index);
    scratch.putParameter(index, before);
    return text;
}

tresult VST3_API Component::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) {
    if (!string) return kInvalidArgument;
    if (isEffectParameter(id)) {
        toString128(textFor(static_cast<int32_t>(id), valueNormalized), string);
    } else if (id == kBypassId) {
        toString128(listIndex(valueNormalized, 1) ? "On" : "Off", string);
    } else if (id == kProgramId) {
        toString128(trimmed(effect.programName(listIndex(valueNormalized, kFactoryProgramCount - 1))), string);
    } else {
        return kInvalidArgument;
    }
    return kResultOk;
}

tresult VST3_API Component::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
    const std::optional<std::string> typed = fromString128(string);
    if (!typed || id >= static_cast<ParamID>(kParameterCount)) return kInvalidArgument;
    const std::string text = trimmed(*typed);

    if (id == kProgramId) {
        for (int32_t p = 0; p < kFactoryProgramCount; ++p) {
            if (sameText(text, trimmed(effect.programName(p)))) {
                valueNormalized = static_cast<double>(p) / (kFactoryProgramCount - 1);
                return kResultOk;
            }
        }
        return kResultFalse;
    }
    const bool isSwitch = id == kBypassId || kParameterRows[id].stepCount == 1;
    if (isSwitch) {
        if (sameText(text, "On") || text == "1") valueNormalized = 1.0;
        else if (sameText(text, "Off") || text == "0") valueNormalized = 0.0;
        else return kResultFalse;
        return kResultOk;
    }

    // A number, optionally followed by the parameter's unit; the step whose
    // shown value lies nearest to it (the first of equals).
    const auto index = static_cast<int32_t>(id);
    std::string rest;
    const std::optional<double> number = leadingNumber(text, rest);
    if (!number || !std::isfinite(*number)) return kResultFalse;
    const std::string unit = trimmed(rest);
    if (!unit.empty() && !sameText(unit, effect.parameterLabel(index))) return kResultFalse;

    const auto steps = static_cast<int32_t>(effect.rawMaximum(index));
    int32_t best = 0;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int32_t step = 0; step <= steps; ++step) {
        std::string ignored;
        const std::optional<double> shown = leadingNumber(textFor(index, static_cast<double>(step) / steps), ignored);
        if (!shown) continue;
        const double distance = std::fabs(*shown - *number);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = step;
        }
    }
    valueNormalized = static_cast<double>(best) / steps;
    return kResultOk;
}

ParamValue VST3_API Component::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
    if (isEffectParameter(id)) {
        // The effect's own step: what putParameter stores for this value.
        return effect.stepFor(static_cast<int32_t>(id), static_cast<float>(clamped(valueNormalized)));
    }
    if (id == kBypassId) return listIndex(valueNormalized, 1);
    if (id == kProgramId) return listIndex(valueNormalized, kFactoryProgramCount - 1);
    return 0.0;
}

ParamValue VST3_API Component::plainParamToNormalized(ParamID id, ParamValue plainValue) {
    double maximum = 0.0;
    if (isEffectParameter(id)) maximum = effect.rawMaximum(static_cast<int32_t>(id));
    else if (id == kBypassId) maximum = 1.0;
    else if (id == kProgramId) maximum = kFactoryProgramCount - 1;
    if (maximum <= 0.0 || !(plainValue > 0.0)) return 0.0;
    return std::min(plainValue, maximum) / maximum;
}

ParamValue VST3_API Component::getParamNormalized(ParamID id) {
    if (isEffectParameter(id)) return effect.readParameter(static_cast<int32_t>(id));
    if (id == kBypassId) return bypass.load() ? 1.0 : 0.0;
    if (id == kProgramId) return static_cast<double>(effect.programNumber()) / (kFactoryProgramCount - 1);
    return 0.0;
}

void Component::applyHostValue(int32_t index, double normalized) {
    effect.putParameterIfNewStep(index, static_cast<float>(clamped(normalized)));
}

bool Component::applyProgram(int32_t program) {
    if (program == effect.programNumber()) return false;
    effect.selectProgram(program);
    return true;
}

tresult VST3_API Component::setParamNormalized(ParamID id, ParamValue value) {
    HostSideScope hostSide;
    if (isEffectParameter(id)) {
        applyHostValue(static_cast<int32_t>(id), value);
    } else if (id == kBypassId) {
        bypass = listIndex(value, 1) == 1;
    } else if (id == kProgramId) {
        if (applyProgram(listIndex(value, kFactoryProgramCount - 1)) && handler)
            handler->restartComponent(kParamValuesChanged);
    } else {
        return kInvalidArgument;
    }
    return kResultOk;
}

tresult VST3_API Component::setComponentHandler(IComponentHandler* newHandler) {
    if (newHandler == handler) return kResultOk;
    if (newHandler) newHandler->addRef();
    if (handler) {
        closeAllEdits();
        handler->release();
    }
    handler = newHandler;
    return kResultOk;
}

IPlugView* VST3_API Component::createView(FIDString name) {
    if (!name || std::strcmp(name, kEditorViewType) != 0) return nullptr;
    return new (std::nothrow) EditorView(*this);
}

// --- Edits from the editor: begin at the first report, end with the gesture.

void Component::editorChanged(int32_t index, float value) {
    if (index < 0 || index >= kEffectParameterCount || !handler) return;
    const auto id = static_cast<ParamID>(index);
    if (!editing[index]) {
        handler->beginEdit(id);
        editing[index] = true;
    }
    handler->performEdit(id, value);
    // A click (a button, a reset) is over at once; a held knob goes on.
    if (effect.draggedParameter() != index) {
        handler->endEdit(id);
        editing[index] = false;
    }
}

void Component::closeFinishedEdits() {
    // Most ticks have no edit open: no need to ask the editor, under its lock.
    if (std::none_of(editing.begin(), editing.end(), [](bool open) { return open; })) return;
    closeEditsExcept(effect.draggedParameter());
}

void Component::closeAllEdits() { closeEditsExcept(-1); }

void Component::closeEditsExcept(int32_t kept) {
    for (int32_t i = 0; i < kEffectParameterCount; ++i) {
        if (editing[i] && i != kept) {
            editing[i] = false;
            if (handler) handler->endEdit(static_cast<ParamID>(i));
        }
    }
}

// --- IUnitInfo

int32 VST3_API Component::getUnitCount() { return 1; }

tresult VST3_API Component::getUnitInfo(int32 unitIndex, UnitInfo& info) {
    if (unitIndex != 0) return kInvalidArgument;
    info.id = kRootUnitId;
    info.parentUnitId = kNoParentUnitId;
    toString128("Root", info.name);
    info.programListId = kProgramListId;
    return kResultOk;
}

int32 VST3_API Component::getProgramListCount() { return 1; }

tresult VST3_API Component::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
    if (listIndex != 0) return kInvalidArgument;
    info.id = kProgramListId;
    toString128("Factory Programs", info.name);
    info.programCount = kFactoryProgramCount;
    return kResultOk;
}

tresult VST3_API Component::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
    if (listId != kProgramListId || programIndex < 0 || programIndex >= kFactoryProgramCount || !name)
        return kInvalidArgument;
    toString128(trimmed(effect.programName(programIndex)), name);
    return kResultOk;
}

tresult VST3_API Component::getProgramInfo(ProgramListID, int32, CString, String128) { return kResultFalse; }
tresult VST3_API Component::hasProgramPitchNames(ProgramListID, int32) { return kResultFalse; }
tresult VST3_API Component::getProgramPitchName(ProgramListID, int32, int16, String128) { return kResultFalse; }
UnitID VST3_API Component::getSelectedUnit() { return kRootUnitId; }
tresult VST3_API Component::selectUnit(UnitID unitId) { return unitId == kRootUnitId ? kResultOk : kResultFalse; }
tresult VST3_API Component::getUnitByBus(MediaType, BusDirection, int32, int32, UnitID&) { return kResultFalse; }
tresult VST3_API Component::setUnitProgramData(int32, int32, IBStream*) { return kNotImplemented; }

}  // namespace vst3face
