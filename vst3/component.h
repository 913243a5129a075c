// Varnox as one VST 3 object: component, audio processor and edit controller
// at once, around the one effect core that the processing and the editor
// share, as in the VST 2 face. There is no separate controller class.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "core/edit_events.h"
#include "core/effect_core.h"
#include "platform/vst3/audio.h"
#include "platform/vst3/editing.h"
#include "platform/vst3/view.h"
#include "platform/win32.h"
#include "util/relaxed.h"
#include "vst3/host_edits.h"
#include "vst3/parameters.h"
#include "vst3/state.h"

class SkinEditor;

namespace vst3face {

class EditorView;

class Component final : public vst3::IComponent,
                        public vst3::IAudioProcessor,
                        public vst3::IEditController,
                        public vst3::IUnitInfo,
                        public vst3::IProcessContextRequirements,
                        private EditEvents {
public:
    Component();
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    /// False when the editor could not be made (out of memory).
    bool valid() const { return editor != nullptr; }

    // FUnknown
    vst3::tresult VST3_API queryInterface(const vst3::TUID iid, void** obj) override;
    vst3::uint32 VST3_API addRef() override;
    vst3::uint32 VST3_API release() override;

    // IPluginBase
    vst3::tresult VST3_API initialize(vst3::FUnknown* context) override;
    vst3::tresult VST3_API terminate() override;

    // IComponent
    vst3::tresult VST3_API getControllerClassId(vst3::TUID classId) override;
    vst3::tresult VST3_API setIoMode(vst3::IoMode mode) override;
    vst3::int32 VST3_API getBusCount(vst3::MediaType type, vst3::BusDirection dir) override;
    vst3::tresult VST3_API getBusInfo(vst3::MediaType type, vst3::BusDirection dir, vst3::int32 index,
                                      vst3::BusInfo& bus) override;
    vst3::tresult VST3_API getRoutingInfo(vst3::RoutingInfo& inInfo, vst3::RoutingInfo& outInfo) override;
    vst3::tresult VST3_API activateBus(vst3::MediaType type, vst3::BusDirection dir, vst3::int32 index,
                                       vst3::TBool state) override;
    vst3::tresult VST3_API setActive(vst3::TBool state) override;
    /// Component and controller state alike: one record holds everything.
    vst3::tresult VST3_API setState(vst3::IBStream* state) override;
    vst3::tresult VST3_API getState(vst3::IBStream* state) override;

    // IAudioProcessor
    vst3::tresult VST3_API setBusArrangements(vst3::SpeakerArrangement* inputs, vst3::int32 numIns,
                                              vst3::SpeakerArrangement* outputs, vst3::int32 numOuts) override;
    vst3::tresult VST3_API getBusArrangement(vst3::BusDirection dir, vst3::int32 index,
                                             vst3::SpeakerArrangement& arr) override;
    vst3::tresult VST3_API canProcessSampleSize(vst3::int32 symbolicSampleSize) override;
    vst3::uint32 VST3_API getLatencySamples() override;
    vst3::tresult VST3_API setupProcessing(vst3::ProcessSetup& setup) override;
    vst3::tresult VST3_API setProcessing(vst3::TBool state) override;
    vst3::tresult VST3_API process(vst3::ProcessData& data) override;
    vst3::uint32 VST3_API getTailSamples() override;

    // IProcessContextRequirements
    vst3::uint32 VST3_API getProcessContextRequirements() override;

    // IEditController
    vst3::tresult VST3_API setComponentState(vst3::IBStream* state) override;
    vst3::int32 VST3_API getParameterCount() override;
    vst3::tresult VST3_API getParameterInfo(vst3::int32 paramIndex, vst3::ParameterInfo& info) override;
    vst3::tresult VST3_API getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                                 vst3::String128 string) override;
    vst3::tresult VST3_API getParamValueByString(vst3::ParamID id, vst3::TChar* string,
                                                 vst3::ParamValue& valueNormalized) override;
    vst3::ParamValue VST3_API normalizedParamToPlain(vst3::ParamID id, vst3::ParamValue valueNormalized) override;
    vst3::ParamValue VST3_API plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plainValue) override;
    vst3::ParamValue VST3_API getParamNormalized(vst3::ParamID id) override;
    vst3::tresult VST3_API setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
    vst3::tresult VST3_API setComponentHandler(vst3::IComponentHandler* handler) override;
    vst3::IPlugView* VST3_API createView(vst3::FIDString name) override;

    // IUnitInfo: one root unit with the factory programs.
    vst3::int32 VST3_API getUnitCount() override;
    vst3::tresult VST3_API getUnitInfo(vst3::int32 unitIndex, vst3::UnitInfo& info) override;
    vst3::int32 VST3_API getProgramListCount() override;
    vst3::tresult VST3_API getProgramListInfo(vst3::int32 listIndex, vst3::ProgramListInfo& info) override;
    vst3::tresult VST3_API getProgramName(vst3::ProgramListID listId, vst3::int32 programIndex,
                                          vst3::String128 name) override;
    vst3::tresult VST3_API getProgramInfo(vst3::ProgramListID listId, vst3::int32 programIndex,
                                          vst3::CString attributeId, vst3::String128 attributeValue) override;
    vst3::tresult VST3_API hasProgramPitchNames(vst3::ProgramListID listId, vst3::int32 programIndex) override;
    vst3::tresult VST3_API getProgramPitchName(vst3::ProgramListID listId, vst3::int32 programIndex,
                                               vst3::int16 midiPitch, vst3::String128 name) override;
    vst3::UnitID VST3_API getSelectedUnit() override;
    vst3::tresult VST3_API selectUnit(vst3::UnitID unitId) override;
    vst3::tresult VST3_API getUnitByBus(vst3::MediaType type, vst3::BusDirection dir, vst3::int32 busIndex,
                                        vst3::int32 channel, vst3::UnitID& unitId) override;
    vst3::tresult VST3_API setUnitProgramData(vst3::int32 listOrUnitId, vst3::int32 programIndex,
                                              vst3::IBStream* data) override;

    // For the editor view (user-interface thread). Opening, closing and
    // finding the window wait for the user-interface lock: on Linux the
    // window may tick on a thread of its own.
    /// Opens the editor in `parent`; with `byRunLoop` its window is driven by
    /// the caller's run loop (platform/run_loop.h), not by a thread of its own.
    bool openEditor(void* parent, bool byRunLoop);
    void closeEditor();
    HWND editorWindow() const;
    /// The editor's size at its scale; the scale a host gives (VST 3
    /// content scale) takes effect at the next opening.
    vst3::ViewRect editorSize() const;
    void setEditorScale(double factor);
    /// The view that has the editor open, if any; set by the view itself.
    EditorView* editorOwner = nullptr;
    /// Hands the editor's pending edits to the host, when called on the
    /// host's user-interface thread (elsewhere it does nothing).
    void handOverEdits();

private:
    ~Component();

    // The editor's gestures, as the host's edits (see HostEdits).
    void beginEdit(int32_t index) override;
    void performEdit(int32_t index, float raw) override;
    void endEdit(int32_t index) override;

    /// A host's value for one of the effect's parameters: set only when it
    /// moves the parameter to another step, so that a host handing back the
    /// value the effect already holds (an echo of an edit, a display refresh)
    /// changes nothing.
    void applyHostValue(int32_t index, double normalized);
    /// Loads a program unless it is the current one; true when it did.
    bool applyProgram(int32_t program);
    /// The Oversampling parameter's step: the core's factor, and the host
    /// told of the new latency on its thread.
    void applyOversampling(float raw);
    SavedState currentState() const;
    void applyState(const SavedState& state);
    vst3::tresult restoreFrom(vst3::IBStream* stream);

    /// The block's channels as the effect takes them. A mono input bus fills
    /// both inputs with its one buffer, as a VST 2 host on a mono track does;
    /// a mono output bus takes the left output only.
    struct Channels {
        float* in[2];  // the host's, or our silence
        float* out[2];
        // 64-bit blocks: the host's buffers (an input null when silent: then
        // `in` holds our silence), run through the 32-bit path piece by piece.
        double* in64[2];
        double* out64[2];
        bool wide;
        int32_t chunk;  // frames per call: our buffers' length when they stand in
        bool switchedOn;
    };
    Channels channelsOf(vst3::ProcessData& data);
    /// Runs the frames start..end of the block through the effect (or past it, bypassed).
    void render(const Channels& channels, int32_t start, int32_t end);
    /// One piece of at most `chunk` frames at `at`, 32-bit or 64-bit.
    void renderPiece(const Channels& channels, int32_t at, int32_t count, bool bypassed);
    void renderWidePiece(const Channels& channels, int32_t at, int32_t count, bool bypassed);
    /// Tells the host the six values a program change in the block set.
    void reportProgramValues(vst3::ProcessData& data, int32_t offset);

    std::atomic<vst3::uint32> references{1};
    EffectCore effect;
    Relaxed<int32_t> program{0};
    std::unique_ptr<SkinEditor> editor;
    float sampleRate = 44100.0f;
    int32_t blockSize = 1024;

    bool initialized = false;
    bool active = false;
    std::atomic<bool> bypass{false};
    Relaxed<float> oversamplingStep{0.0f};
    std::atomic<bool> latencyPending{false};
    vst3::IComponentHandler* handler = nullptr;  // used on the host's user-interface thread only
    HostEdits edits;
    // The thread the host creates the effect and opens its editor on.
    std::atomic<std::thread::id> hostThread{std::this_thread::get_id()};

    // The buses: 1 or 2 channels each (mono to mono, mono to stereo, stereo to stereo).
    int32_t inputChannels = 2;
    int32_t outputChannels = 2;
    // Two distinct silent inputs (the effect treats one buffer passed twice as mono).
    std::array<std::vector<float>, 2> silence;
    // 64-bit blocks pass through these, as long as the silence buffers; empty
    // unless the host set up 64-bit processing.
    std::array<std::vector<float>, 2> wideInput, wideOutput;
};

}  // namespace vst3face
