#include "vst3/component.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "core/value_text.h"
#include "editor/skin_editor.h"
#include "platform/run_loop.h"
#include "platform/ui_lock.h"
#include "vst3/editor_view.h"
#include "vst3/texts.h"

namespace vst3face {

using namespace vst3;

namespace {

// Enough silence for any ordinary block before the host tells its size.
constexpr std::size_t kDefaultSilence = 4096;

bool isEffectParameter(ParamID id) { return id < static_cast<ParamID>(kParamCount); }

double clamped(double normalized) {
    if (!(normalized > 0.0)) return 0.0;
    return normalized > 1.0 ? 1.0 : normalized;
}

}  // namespace

Component::Component() : editor(new (std::nothrow) SkinEditor(effect, *this)) {
    for (auto& buffer : silence) buffer.assign(kDefaultSilence, 0.0f);
    effect.offerOversampling();
}

Component::~Component() {
    // The editor's window may tick on a thread of its own until it is closed.
    {
        const uilock::Guard guard;
        editor.reset();
    }
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
    handOverEdits();
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
    bus.channelCount = dir == kInput ? inputChannels : outputChannels;
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
        active = effect.switchOn(sampleRate, blockSize);
        return active ? kResultOk : kOutOfMemory;
    }
    effect.switchOff();
    active = false;
    return kResultOk;
}

SavedState Component::currentState() const {
    SavedState state;
    for (int32_t i = 0; i < kParamCount; ++i) state[kParameters[i].id] = effect.rawValue[i];
    state[kProgramId] = static_cast<float>(program);
    state[kBypassId] = bypass.load() ? 1.0f : 0.0f;
    state[kOversamplingId] = oversamplingStep.load();
    return state;
}

void Component::applyState(const SavedState& state) {
    applyProgram(static_cast<int32_t>(state[kProgramId]));
    for (int32_t i = 0; i < kParamCount; ++i) applyHostValue(i, state[kParameters[i].id] / kRawMaximum[i]);
    bypass = state[kBypassId] == 1.0f;
    applyOversampling(state[kOversamplingId]);
}

// The core takes a new factor at once; the host hears of the new latency on
// its own thread, at its next call (restartComponent is not for the audio thread).
void Component::applyOversampling(float raw) {
    const int32_t before = effect.latency();
    oversamplingStep = raw;
    effect.setOversampling(oversamplingFactorOf(raw));
    if (effect.latency() != before) latencyPending = true;
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
    handOverEdits();
    return writeState(*state, currentState()) ? kResultOk : kResultFalse;
}

// --- IAudioProcessor

namespace {
int32_t channelsOfArrangement(SpeakerArrangement arrangement) {
    return arrangement == SpeakerArr::kMono ? 1 : arrangement == SpeakerArr::kStereo ? 2 : 0;
}
}  // namespace

tresult VST3_API Component::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                               SpeakerArrangement* outputs, int32 numOuts) {
    // Stereo to stereo, mono to mono and mono to stereo; anything else is
    // refused and the buses stay as they were. Stereo to mono is not offered:
    // which channel or mix a host wants there is its own choice.
    if (numIns != 1 || numOuts != 1 || !inputs || !outputs) return kResultFalse;
    const int32_t in = channelsOfArrangement(inputs[0]);
    const int32_t out = channelsOfArrangement(outputs[0]);
    if (in == 0 || out == 0 || in > out) return kResultFalse;
    inputChannels = in;
    outputChannels = out;
    return kResultTrue;
}

tresult VST3_API Component::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) {
    if ((dir != kInput && dir != kOutput) || index != 0) return kInvalidArgument;
    arr = (dir == kInput ? inputChannels : outputChannels) == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo;
    return kResultOk;
}

// 64-bit samples are rounded to 32-bit floats on the way in and the results
// widened on the way out: the effect's arithmetic is 32-bit whatever the host
// mixes in, so a 64-bit block gives exactly the 32-bit block's results.
tresult VST3_API Component::canProcessSampleSize(int32 symbolicSampleSize) {
    return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
}

uint32 VST3_API Component::getLatencySamples() { return static_cast<uint32>(effect.latency()); }

tresult VST3_API Component::setupProcessing(ProcessSetup& setup) {
    if (active) return kResultFalse;
    if (canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue) return kResultFalse;
    if (!(setup.sampleRate > 0.0) || setup.maxSamplesPerBlock <= 0) return kInvalidArgument;
    sampleRate = static_cast<float>(setup.sampleRate);
    blockSize = setup.maxSamplesPerBlock;
    effect.setSampleRate(sampleRate);
    const std::size_t frames = std::max<std::size_t>(kDefaultSilence, static_cast<std::size_t>(setup.maxSamplesPerBlock));
    for (auto& buffer : silence) buffer.assign(frames, 0.0f);
    // Released when the host goes back to 32-bit samples.
    const std::size_t wideFrames = setup.symbolicSampleSize == kSample64 ? frames : 0;
    for (auto* buffers : {&wideInput, &wideOutput}) {
        for (auto& buffer : *buffers) {
            buffer.assign(wideFrames, 0.0f);
            buffer.shrink_to_fit();
        }
    }
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
    const ParamRow& row = parameterAt(paramIndex);
    std::memset(&info, 0, sizeof info);
    info.id = row.id;
    toString128(row.name, info.title);
    toString128(row.name, info.shortTitle);
    toString128(row.unit, info.units);
    info.stepCount = row.steps;
    info.defaultNormalizedValue = static_cast<double>(row.defaultRaw) / row.steps;
    info.unitId = kRootUnitId;
    info.flags = flagsOf(row);
    return kResultOk;
}

tresult VST3_API Component::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) {
    const ParamRow* row = parameterWithId(id);
    if (!string || !row) return kInvalidArgument;
    handOverEdits();
    const float raw = rawFromNormalized(*row, valueNormalized);
    toString128(row->kind == ParamKind::kProgram ? programListName(static_cast<int32_t>(raw))
                                                 : std::string(valueText(*row, raw).c_str()),
                string);
    return kResultOk;
}

tresult VST3_API Component::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
    const std::optional<std::string> typed = fromString128(string);
    const ParamRow* row = parameterWithId(id);
    if (!typed || !row) return kInvalidArgument;
    std::optional<float> raw = rawFromText(*row, *typed);
    if (row->kind == ParamKind::kProgram && !raw) {
        if (const std::optional<int32_t> program = programOfName(*typed)) raw = static_cast<float>(*program);
    }
    if (!raw) return kResultFalse;
    valueNormalized = static_cast<double>(*raw) / row->steps;
    return kResultOk;
}

ParamValue VST3_API Component::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
    const ParamRow* row = parameterWithId(id);
    return row ? rawFromNormalized(*row, valueNormalized) : 0.0;
}

ParamValue VST3_API Component::plainParamToNormalized(ParamID id, ParamValue plainValue) {
    const ParamRow* row = parameterWithId(id);
    if (!row || !(plainValue > 0.0)) return 0.0;
    const double maximum = row->steps;
    return std::min(plainValue, maximum) / maximum;
}

ParamValue VST3_API Component::getParamNormalized(ParamID id) {
    // Hosts ask for values whenever they refresh a display: as near to an
    // idle call as VST 3 comes.
    handOverEdits();
    if (isEffectParameter(id)) return effect.normalized(static_cast<int32_t>(id));
    if (id == kBypassId) return bypass.load() ? 1.0 : 0.0;
    if (id == kProgramId) return static_cast<double>(program) / (kProgramCount - 1);
    if (id == kOversamplingId) return static_cast<double>(oversamplingStep.load()) / kOversamplingRow.steps;
    return 0.0;
}

void Component::applyHostValue(int32_t index, double normalized) {
    const auto value = static_cast<float>(clamped(normalized));
    if (EffectCore::stepFor(index, value) == effect.rawValue[index]) return;
    effect.setParameter(index, value, true, program);
}

bool Component::applyProgram(int32_t newProgram) {
    if (!isProgram(newProgram) || newProgram == program) return false;
    program = newProgram;
    effect.loadProgram(newProgram);
    return true;
}

tresult VST3_API Component::setParamNormalized(ParamID id, ParamValue value) {
    handOverEdits();
    if (isEffectParameter(id)) {
        applyHostValue(static_cast<int32_t>(id), value);
    } else if (id == kBypassId) {
        bypass = rawFromNormalized(kBypassRow, value) == 1.0f;
    } else if (id == kProgramId) {
        if (applyProgram(static_cast<int32_t>(rawFromNormalized(kProgramRow, value))) && handler)
            handler->restartComponent(kParamValuesChanged);
    } else if (id == kOversamplingId) {
        applyOversampling(rawFromNormalized(kOversamplingRow, value));
        handOverEdits();
    } else {
        return kInvalidArgument;
    }
    return kResultOk;
}

tresult VST3_API Component::setComponentHandler(IComponentHandler* newHandler) {
    hostThread = std::this_thread::get_id();
    if (newHandler == handler) return kResultOk;
    if (newHandler) newHandler->addRef();
    if (handler) {
        // The old handler hears what is pending and the end of every edit it heard begin.
        edits.deliver(handler);
        edits.closeAll(handler);
        handler->release();
    }
    handler = newHandler;
    return kResultOk;
}

IPlugView* VST3_API Component::createView(FIDString name) {
    if (!name || std::strcmp(name, kEditorViewType) != 0) return nullptr;
    return new (std::nothrow) EditorView(*this);
}

// --- The editor

bool Component::openEditor(void* parent, bool byRunLoop) {
    // The host attaches the view on its user-interface thread: the editor's
    // edits are handed over there.
    hostThread = std::this_thread::get_id();
    const uilock::Guard guard;
    if (!byRunLoop) return editor->openWindow(parent) == 1;
    const runloop::CallerDriven drivenByCaller;
    return editor->openWindow(parent) == 1;
}

void Component::closeEditor() {
    {
        const uilock::Guard guard;
        editor->closeWindow();
    }
    // Closing ends a drag the host cut short: the host hears the end now.
    handOverEdits();
}

vst3::ViewRect Component::editorSize() const {
    const uilock::Guard guard;
    // Asking for the rectangle settles the scale (the desktop's, until the host gives one).
    ERect* rect = nullptr;
    editor->queryRect(&rect);
    return vst3::ViewRect{0, 0, rect->right, rect->bottom};
}

void Component::setEditorScale(double factor) {
    const uilock::Guard guard;
    editor->setScale(factor);
}

HWND Component::editorWindow() const {
    const uilock::Guard guard;
    return editor->isOpen == 1 ? editor->window : nullptr;
}

void Component::handOverEdits() {
    if (std::this_thread::get_id() != hostThread.load()) return;
    edits.deliver(handler);
    if (handler && latencyPending.exchange(false)) handler->restartComponent(kLatencyChanged);
}

// The editor's gestures come on the user-interface thread (or, on Linux
// without the host's run loop, on its window's event thread under the
// user-interface lock). The effect follows at once; the host hears of it on
// its own thread. The change is the editor's own: no readout hold.
void Component::beginEdit(int32_t index) {
    if (!isParameter(index)) return;
    edits.begin(index);
    handOverEdits();
}

void Component::performEdit(int32_t index, float raw) {
    if (!isParameter(index)) return;
    effect.setParameter(index, raw / kRawMaximum[index], false, program);
    edits.perform(index, effect.normalized(index));
    handOverEdits();
}

void Component::endEdit(int32_t index) {
    if (!isParameter(index)) return;
    edits.end(index);
    handOverEdits();
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
    info.programCount = kProgramCount;
    return kResultOk;
}

tresult VST3_API Component::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
    if (listId != kProgramListId || !isProgram(programIndex) || !name) return kInvalidArgument;
    toString128(programListName(programIndex), name);
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
