// Varnox as a CLAP plug-in: one EffectCore and one SkinEditor per instance,
// behind the plug-in record and the extensions a host asks for. The threads
// are the interface's: `process` (and `flush` while active) on the audio
// thread, everything else on the host's main thread. The editor ticks and
// takes its input there too, through the host's timer and descriptor
// support; only a host without them leaves the window its own event thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/edit_events.h"
#include "core/effect_core.h"
#include "core/saved_state.h"
#include "platform/clap/extensions.h"
#include "platform/clap/presets.h"
#include "platform/win32.h"
#include "util/relaxed.h"

class SkinEditor;

namespace clapface {

/// The plug-in's descriptor: id, name, vendor, version and features.
const clap_plugin_descriptor_t& descriptor();

/// What the editor tells the host, waiting for the next `process` or `flush`:
/// the interface lets only those calls hand events to the host. One thread
/// puts (the main thread, or the window's event thread under the
/// user-interface lock), one takes (the audio thread, or the main thread in
/// `flush` while inactive).
class EditQueue {
public:
    struct Entry {
        uint16_t type;  // CLAP_EVENT_PARAM_GESTURE_BEGIN, _END or _VALUE
        clap_id id;
        double value;
    };
    static constexpr std::size_t kCapacity = 1024;

    /// False when full: the host has not called in for a long while.
    bool put(const Entry& entry);
    /// Hands everything waiting to `out` at offset `time`; what the host
    /// refuses waits for the next call.
    void drainTo(const clap_output_events_t* out, uint32_t time);
    bool empty() const { return head.load(std::memory_order_acquire) == tail.load(std::memory_order_acquire); }

private:
    std::array<Entry, kCapacity> entries{};
    std::atomic<std::size_t> head{0};  // next to take
    std::atomic<std::size_t> tail{0};  // next to put
};

class Plugin final : private EditEvents {
public:
    explicit Plugin(const clap_host_t* host);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const clap_plugin_t* record() const { return &plugin; }
    static Plugin& of(const clap_plugin_t* plugin) { return *static_cast<Plugin*>(plugin->plugin_data); }

    // The plug-in record's calls.
    bool init();
    bool activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames);
    void deactivate();
    clap_process_status process(const clap_process_t& block);
    const void* extension(const char* id) const;
    /// The oversampling's delay, in samples at the host's rate.
    uint32_t latency() const;

    // params
    bool paramInfo(uint32_t index, clap_param_info_t& info) const;
    bool paramValue(clap_id id, double& value) const;
    bool valueToText(clap_id id, double value, char* out, uint32_t capacity) const;
    bool textToValue(clap_id id, const char* text, double& value) const;
    void flush(const clap_input_events_t* in, const clap_output_events_t* out);

    // state
    bool save(const clap_ostream_t& stream) const;
    bool load(const clap_istream_t& stream);

    // preset-load: a factory program by its preset's location and key.
    bool loadPreset(uint32_t locationKind, const char* location, const char* loadKey);

    // gui
    bool guiCreate(const char* api, bool floating);
    void guiDestroy();
    bool guiSetScale(double scale);
    bool guiSize(uint32_t& width, uint32_t& height) const;
    bool guiSetParent(const clap_window_t& window);
    void onTimer(clap_id timer);
    void onDescriptor(int fd);

private:
    // The editor's gestures, as the host's gesture and value events.
    void beginEdit(int32_t index) override;
    void performEdit(int32_t index, float raw) override;
    void endEdit(int32_t index) override;
    void closeAllEdits();
    void tellHost(uint16_t type, clap_id id, double value);

    /// One parameter event, whichever the parameter: at offset `time` of a
    /// block, or from `flush` (time 0).
    void applyEvent(const clap_event_param_value_t& event, const clap_output_events_t* out, uint32_t time);
    /// A face parameter's raw step, by its listed place (not the program).
    void applyFaceValue(int32_t place, float raw);
    /// A value for the effect's parameter `index`, set only when it moves it
    /// to another step (a host echoing a value changes nothing).
    void applyEffectValue(int32_t index, double plain);
    /// Loads a program unless it is the current one; true when it did.
    bool applyProgram(int32_t newProgram);
    void loadProgram(int32_t newProgram);
    /// Tells the host the values a program change set.
    void reportProgramValues(const clap_output_events_t* out, uint32_t time);
    void applyInputEvents(const clap_input_events_t* in, const clap_output_events_t* out, uint32_t frames,
                          uint32_t& position, float* const* inputs, float* const* outputs);
    void render(float* const* inputs, float* const* outputs, uint32_t start, uint32_t end);

    SavedState currentState() const;
    float faceRaw(const ParamRow& row) const;

    // The editor's window, on the host's run loop or on its own thread.
    bool openEditor(void* parent);
    bool openWindowIn(void* parent, bool drivenByHost);
    void closeEditor();
    /// False when the host refused the timer or the descriptor.
    bool connectRunLoop();
    void disconnectRunLoop();
    void scheduleTimer(int milliseconds);

    clap_plugin_t plugin;
    const clap_host_t* host;
    const clap_host_params_t* hostParams = nullptr;
    const clap_host_preset_load_t* hostPresets = nullptr;
    const clap_host_latency_t* hostLatency = nullptr;
    const clap_host_timer_support_t* hostTimers = nullptr;
    const clap_host_posix_fd_support_t* hostDescriptors = nullptr;

    EffectCore effect;
    std::unique_ptr<SkinEditor> editor;
    // The face parameters' raw values (bypass, the program, ...), by their
    // place in kFaceParameters.
    std::array<Relaxed<float>, kFaceParameters.size()> face{};
    Relaxed<int32_t> program{0};
    EditQueue edits;
    std::array<bool, kParamCount> editing{};

    std::atomic<bool> active{false};
    float sampleRate = 44100.0f;
    // Two distinct silent inputs for a host that leaves a channel out (one
    // buffer passed twice reads as mono).
    std::array<std::vector<float>, 2> silence;

    bool guiCreated = false;
    void* parentWindow = nullptr;
    HWND window = nullptr;
    bool byRunLoop = false;
    clap_id timerId = CLAP_INVALID_ID;
    uint32_t timerPeriod = 0;
    int watchedDescriptor = -1;
};

}  // namespace clapface
