#include "clap/plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "clap/presets.h"
#include "core/value_text.h"
#include "editor/skin_editor.h"
#include "platform/clap/window.h"
#include "platform/ui_lock.h"

namespace clapface {

namespace {

// Enough silence for any ordinary block until the host tells its largest.
constexpr uint32_t kDefaultSilence = 4096;
// Work buffers and silence beyond this run a block in pieces.
constexpr uint32_t kLargestPiece = 1u << 16;

// The listed place of a parameter id; -1 for none.
int32_t placeOf(clap_id id) {
    // The effect's own parameters are listed first, each under its index.
    if (id < static_cast<clap_id>(kParamCount) && kParameters[id].id == id) return static_cast<int32_t>(id);
    for (int32_t i = 0; i < kListedCount; ++i) {
        if (listedParameter(i).id == id) return i;
    }
    return -1;
}

int32_t facePlaceOf(ParamKind kind) {
    for (std::size_t i = 0; i < kFaceParameters.size(); ++i) {
        if (kFaceParameters[i].kind == kind) return static_cast<int32_t>(i);
    }
    return -1;
}

// A host's value for a parameter is its raw step itself: the nearest step,
// held to the parameter's range (NaN as 0).
float rawOf(const ParamRow& row, double plain) {
    if (!(plain > 0.0)) return 0.0f;
    if (plain >= row.steps) return static_cast<float>(row.steps);
    return static_cast<float>(std::floor(plain + 0.5));
}

clap_param_info_flags flagsOf(const ParamRow& row) {
    switch (row.kind) {
        case ParamKind::kKnob:
            return CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED;
        case ParamKind::kBypass:
            return CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_BYPASS;
        case ParamKind::kSwitch:
        case ParamKind::kProgram:
            return CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM;
        case ParamKind::kOversampling:
            // Set, not automated: each change moves the latency.
            break;
    }
    return CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM;
}

void copyText(const char* text, char* out, std::size_t capacity) {
    if (!out || capacity == 0) return;
    const std::size_t length = std::min(std::strlen(text), capacity - 1);
    std::memcpy(out, text, length);
    out[length] = '\0';
}

// --- The record's calls, each to its instance.

Plugin& self(const clap_plugin_t* p) { return Plugin::of(p); }

const clap_plugin_audio_ports_t kAudioPorts = {
    [](const clap_plugin_t*, bool) -> uint32_t { return 1; },
    [](const clap_plugin_t*, uint32_t index, bool isInput, clap_audio_port_info_t* info) {
        if (index != 0 || !info) return false;
        std::memset(info, 0, sizeof *info);
        info->id = 0;
        copyText(isInput ? "Input" : "Output", info->name, sizeof info->name);
        info->flags = CLAP_AUDIO_PORT_IS_MAIN;
        info->channel_count = 2;
        info->port_type = CLAP_PORT_STEREO;
        info->in_place_pair = CLAP_INVALID_ID;
        return true;
    },
};

const clap_plugin_params_t kParams = {
    [](const clap_plugin_t*) -> uint32_t { return static_cast<uint32_t>(kListedCount); },
    [](const clap_plugin_t* p, uint32_t index, clap_param_info_t* info) {
        return info && self(p).paramInfo(index, *info);
    },
    [](const clap_plugin_t* p, clap_id id, double* value) { return value && self(p).paramValue(id, *value); },
    [](const clap_plugin_t* p, clap_id id, double value, char* out, uint32_t capacity) {
        return self(p).valueToText(id, value, out, capacity);
    },
    [](const clap_plugin_t* p, clap_id id, const char* text, double* value) {
        return text && value && self(p).textToValue(id, text, *value);
    },
    [](const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out) {
        self(p).flush(in, out);
    },
};

const clap_plugin_state_t kState = {
    [](const clap_plugin_t* p, const clap_ostream_t* stream) { return stream && self(p).save(*stream); },
    [](const clap_plugin_t* p, const clap_istream_t* stream) { return stream && self(p).load(*stream); },
};

const clap_plugin_latency_t kLatency = {[](const clap_plugin_t* p) { return self(p).latency(); }};

// Once the input is silent the stages settle within two samples (a smoother
// step, then the second stage's), after which the output is exactly 0.
const clap_plugin_tail_t kTail = {[](const clap_plugin_t*) -> uint32_t { return 2; }};

// Offline rendering runs the same path: nothing to switch.
const clap_plugin_render_t kRender = {
    [](const clap_plugin_t*) { return false; },
    [](const clap_plugin_t*, clap_plugin_render_mode mode) {
        return mode == CLAP_RENDER_REALTIME || mode == CLAP_RENDER_OFFLINE;
    },
};

const clap_plugin_gui_t kGui = {
    [](const clap_plugin_t*, const char* api, bool floating) {
        return !floating && api && std::strcmp(api, clapwindow::kApi) == 0;
    },
    [](const clap_plugin_t*, const char** api, bool* floating) {
        if (!api || !floating) return false;
        *api = clapwindow::kApi;
        *floating = false;
        return true;
    },
    [](const clap_plugin_t* p, const char* api, bool floating) { return self(p).guiCreate(api, floating); },
    [](const clap_plugin_t* p) { self(p).guiDestroy(); },
    [](const clap_plugin_t* p, double scale) { return self(p).guiSetScale(scale); },
    [](const clap_plugin_t* p, uint32_t* width, uint32_t* height) {
        return width && height && self(p).guiSize(*width, *height);
    },
    [](const clap_plugin_t*) { return false; },
    [](const clap_plugin_t*, clap_gui_resize_hints_t*) { return false; },
    // One size only: whatever is asked, that is the answer.
    [](const clap_plugin_t* p, uint32_t* width, uint32_t* height) {
        return width && height && self(p).guiSize(*width, *height);
    },
    [](const clap_plugin_t* p, uint32_t width, uint32_t height) {
        uint32_t w = 0, h = 0;
        return self(p).guiSize(w, h) && w == width && h == height;
    },
    [](const clap_plugin_t* p, const clap_window_t* window) { return window && self(p).guiSetParent(*window); },
    [](const clap_plugin_t*, const clap_window_t*) { return false; },
    [](const clap_plugin_t*, const char*) {},
    // The window is shown with its parent; these are for floating windows.
    [](const clap_plugin_t*) { return true; },
    [](const clap_plugin_t*) { return true; },
};

const clap_plugin_preset_load_t kPresetLoad = {
    [](const clap_plugin_t* p, uint32_t kind, const char* location, const char* key) {
        return self(p).loadPreset(kind, location, key);
    },
};

const clap_plugin_timer_support_t kTimerSupport = {
    [](const clap_plugin_t* p, clap_id timer) { self(p).onTimer(timer); },
};

const clap_plugin_posix_fd_support_t kDescriptorSupport = {
    [](const clap_plugin_t* p, int fd, clap_posix_fd_flags) { self(p).onDescriptor(fd); },
};

}  // namespace

// --- EditQueue

bool EditQueue::put(const Entry& entry) {
    const std::size_t at = tail.load(std::memory_order_relaxed);
    const std::size_t next = (at + 1) % kCapacity;
    if (next == head.load(std::memory_order_acquire)) return false;
    entries[at] = entry;
    tail.store(next, std::memory_order_release);
    return true;
}

void EditQueue::drainTo(const clap_output_events_t* out, uint32_t time) {
    if (!out || !out->try_push) return;
    std::size_t at = head.load(std::memory_order_relaxed);
    const std::size_t end = tail.load(std::memory_order_acquire);
    for (; at != end; at = (at + 1) % kCapacity) {
        const Entry& entry = entries[at];
        bool taken;
        if (entry.type == CLAP_EVENT_PARAM_VALUE) {
            clap_event_param_value_t event{};
            event.header = {sizeof event, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
            event.param_id = entry.id;
            event.note_id = -1;
            event.port_index = -1;
            event.channel = -1;
            event.key = -1;
            event.value = entry.value;
            taken = out->try_push(out, &event.header);
        } else {
            clap_event_param_gesture_t event{};
            event.header = {sizeof event, time, CLAP_CORE_EVENT_SPACE_ID, entry.type, 0};
            event.param_id = entry.id;
            taken = out->try_push(out, &event.header);
        }
        if (!taken) break;
    }
    head.store(at, std::memory_order_release);
}

// --- Plugin

Plugin::Plugin(const clap_host_t* clapHost) : host(clapHost), editor(new (std::nothrow) SkinEditor(effect, *this)) {
    plugin.desc = &descriptor();
    plugin.plugin_data = this;
    plugin.init = [](const clap_plugin_t* p) { return self(p).init(); };
    plugin.destroy = [](const clap_plugin_t* p) { delete &self(p); };
    plugin.activate = [](const clap_plugin_t* p, double rate, uint32_t minFrames, uint32_t maxFrames) {
        return self(p).activate(rate, minFrames, maxFrames);
    };
    plugin.deactivate = [](const clap_plugin_t* p) { self(p).deactivate(); };
    plugin.start_processing = [](const clap_plugin_t*) { return true; };
    plugin.stop_processing = [](const clap_plugin_t*) {};
    plugin.reset = [](const clap_plugin_t* p) { self(p).effect.resetStages(); };
    plugin.process = [](const clap_plugin_t* p, const clap_process_t* block) {
        return block ? self(p).process(*block) : CLAP_PROCESS_ERROR;
    };
    plugin.get_extension = [](const clap_plugin_t* p, const char* id) { return id ? self(p).extension(id) : nullptr; };
    plugin.on_main_thread = [](const clap_plugin_t*) {};

    effect.offerOversampling();
    for (std::size_t i = 0; i < kFaceParameters.size(); ++i) face[i] = kFaceParameters[i].defaultRaw;
    for (auto& buffer : silence) buffer.assign(kDefaultSilence, 0.0f);
}

Plugin::~Plugin() {
    guiDestroy();
    if (active) deactivate();
    // The editor's window may tick on a thread of its own until it is closed.
    const uilock::Guard guard;
    editor.reset();
}

bool Plugin::init() {
    if (!editor) return false;
    const auto ask = [this](const char* id) { return host && host->get_extension ? host->get_extension(host, id) : nullptr; };
    hostParams = static_cast<const clap_host_params_t*>(ask(CLAP_EXT_PARAMS));
    hostPresets = static_cast<const clap_host_preset_load_t*>(ask(CLAP_EXT_PRESET_LOAD));
    if (!hostPresets) hostPresets = static_cast<const clap_host_preset_load_t*>(ask(CLAP_EXT_PRESET_LOAD_COMPAT));
    hostLatency = static_cast<const clap_host_latency_t*>(ask(CLAP_EXT_LATENCY));
    hostTimers = static_cast<const clap_host_timer_support_t*>(ask(CLAP_EXT_TIMER_SUPPORT));
    hostDescriptors = static_cast<const clap_host_posix_fd_support_t*>(ask(CLAP_EXT_POSIX_FD_SUPPORT));
    return true;
}

const void* Plugin::extension(const char* id) const {
    struct Offered {
        const char* id;
        const void* table;
    };
    static const Offered offered[] = {
        {CLAP_EXT_AUDIO_PORTS, &kAudioPorts}, {CLAP_EXT_PARAMS, &kParams},  {CLAP_EXT_STATE, &kState},
        {CLAP_EXT_LATENCY, &kLatency},        {CLAP_EXT_TAIL, &kTail},      {CLAP_EXT_RENDER, &kRender},
        {CLAP_EXT_GUI, &kGui},                {CLAP_EXT_TIMER_SUPPORT, &kTimerSupport},
        {CLAP_EXT_POSIX_FD_SUPPORT, &kDescriptorSupport},
        {CLAP_EXT_PRESET_LOAD, &kPresetLoad}, {CLAP_EXT_PRESET_LOAD_COMPAT, &kPresetLoad},
    };
    for (const Offered& entry : offered) {
        if (std::strcmp(entry.id, id) == 0) return entry.table;
    }
    return nullptr;
}

bool Plugin::activate(double rate, uint32_t /*minFrames*/, uint32_t maxFrames) {
    if (active || !(rate > 0.0) || maxFrames == 0) return false;
    // Allocates the effect's work buffers: the main thread's call, never the audio thread's.
    sampleRate = static_cast<float>(rate);
    const uint32_t piece = std::min(maxFrames, kLargestPiece);
    effect.setSampleRate(sampleRate);
    try {
        for (auto& buffer : silence) buffer.assign(std::max(piece, kDefaultSilence), 0.0f);
    } catch (const std::bad_alloc&) {
        return false;
    }
    active = effect.switchOn(sampleRate, static_cast<int32_t>(piece));
    return active;
}

void Plugin::deactivate() {
    effect.switchOff();
    active = false;
}

// --- params

bool Plugin::paramInfo(uint32_t index, clap_param_info_t& info) const {
    if (index >= static_cast<uint32_t>(kListedCount)) return false;
    const ParamRow& row = listedParameter(static_cast<int32_t>(index));
    std::memset(&info, 0, sizeof info);
    info.id = row.id;
    info.flags = flagsOf(row);
    copyText(row.name, info.name, sizeof info.name);
    info.min_value = 0.0;
    info.max_value = row.steps;
    info.default_value = row.defaultRaw;
    return true;
}

float Plugin::faceRaw(const ParamRow& row) const {
    const int32_t place = placeOf(row.id);
    if (place < kParamCount) return effect.rawValue[static_cast<std::size_t>(place)];
    if (row.kind == ParamKind::kProgram) return static_cast<float>(program.load());
    return face[static_cast<std::size_t>(place - kParamCount)];
}

bool Plugin::paramValue(clap_id id, double& value) const {
    if (placeOf(id) < 0) return false;
    value = faceRaw(listedParameter(placeOf(id)));
    return true;
}

bool Plugin::valueToText(clap_id id, double value, char* out, uint32_t capacity) const {
    const int32_t place = placeOf(id);
    if (place < 0 || !out || capacity == 0) return false;
    const ParamRow& row = listedParameter(place);
    std::string text = valueText(row, rawOf(row, value)).c_str();
    if (*row.unit) text = text + " " + row.unit;
    copyText(text.c_str(), out, capacity);
    return true;
}

bool Plugin::textToValue(clap_id id, const char* text, double& value) const {
    const int32_t place = placeOf(id);
    if (place < 0) return false;
    const std::optional<float> raw = rawFromText(listedParameter(place), text);
    if (!raw) return false;
    value = *raw;
    return true;
}

void Plugin::flush(const clap_input_events_t* in, const clap_output_events_t* out) {
    edits.drainTo(out, 0);
    const uint32_t count = in && in->size ? in->size(in) : 0;
    for (uint32_t e = 0; e < count; ++e) {
        const clap_event_header_t* header = in->get(in, e);
        if (!header || header->space_id != CLAP_CORE_EVENT_SPACE_ID || header->type != CLAP_EVENT_PARAM_VALUE ||
            header->size < sizeof(clap_event_param_value_t))
            continue;
        applyEvent(*reinterpret_cast<const clap_event_param_value_t*>(header), out, 0);
    }
}

void Plugin::applyEvent(const clap_event_param_value_t& event, const clap_output_events_t* out, uint32_t time) {
    const int32_t place = placeOf(event.param_id);
    if (place < 0) return;
    if (place < kParamCount) {
        applyEffectValue(place, event.value);
        return;
    }
    const ParamRow& row = listedParameter(place);
    const float raw = rawOf(row, event.value);
    if (row.kind == ParamKind::kProgram) {
        if (applyProgram(static_cast<int32_t>(raw))) reportProgramValues(out, time);
        return;
    }
    applyFaceValue(place, raw);
}

void Plugin::applyFaceValue(int32_t place, float raw) {
    face[static_cast<std::size_t>(place - kParamCount)] = raw;
    if (listedParameter(place).kind != ParamKind::kOversampling) return;
    const int32_t before = effect.latency();
    effect.setOversampling(oversamplingFactorOf(raw));
    if (effect.latency() == before) return;
    // The host takes a new latency only at activation: an active plug-in
    // asks for a restart (any thread may), an inactive one says so on the
    // main thread, where flush and load then run.
    if (active) {
        if (host && host->request_restart) host->request_restart(host);
    } else if (hostLatency && hostLatency->changed) {
        hostLatency->changed(host);
    }
}

uint32_t Plugin::latency() const { return static_cast<uint32_t>(effect.latency()); }

void Plugin::applyEffectValue(int32_t index, double plain) {
    const float raw = rawOf(kParameters[static_cast<std::size_t>(index)], plain);
    if (raw == effect.rawValue[static_cast<std::size_t>(index)]) return;
    // The step as the host value the VST 2 face would get: raw / maximum
    // (a power of two, so exact), which gives the same step and the same samples.
    effect.setParameter(index, raw / kRawMaximum[static_cast<std::size_t>(index)], true, program);
}

bool Plugin::applyProgram(int32_t newProgram) {
    if (!isProgram(newProgram) || newProgram == program) return false;
    loadProgram(newProgram);
    return true;
}

void Plugin::loadProgram(int32_t newProgram) {
    program = newProgram;
    const int32_t place = facePlaceOf(ParamKind::kProgram);
    if (place >= 0) face[static_cast<std::size_t>(place)] = static_cast<float>(newProgram);
    effect.loadProgram(newProgram);
}

bool Plugin::loadPreset(uint32_t locationKind, const char* location, const char* loadKey) {
    const std::optional<int32_t> found = programOfPreset(locationKind, location, loadKey);
    if (!found) {
        if (hostPresets && hostPresets->on_error)
            hostPresets->on_error(host, locationKind, location, loadKey, 0, "no such factory program");
        return false;
    }
    // A preset is factory content: it loads as the factory made it, also
    // over the program it already is, whatever was set in its record since
    // (the program parameter keeps the records' edits, as VST 2 and VST 3 do).
    const std::array<ProgramRecord, kProgramCount> factory = factoryRecords();
    const auto record = static_cast<std::size_t>(*found);
    for (std::size_t i = 0; i < kParamCount; ++i) effect.programs[record].value[i] = factory[record].value[i];
    loadProgram(*found);
    if (hostParams && hostParams->rescan) hostParams->rescan(host, CLAP_PARAM_RESCAN_VALUES);
    if (hostPresets && hostPresets->loaded) hostPresets->loaded(host, locationKind, location, loadKey);
    return true;
}

void Plugin::reportProgramValues(const clap_output_events_t* out, uint32_t time) {
    if (!out || !out->try_push) return;
    for (int32_t i = 0; i < kParamCount; ++i) {
        clap_event_param_value_t event{};
        event.header = {sizeof event, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        event.param_id = kParameters[static_cast<std::size_t>(i)].id;
        event.note_id = -1;
        event.port_index = -1;
        event.channel = -1;
        event.key = -1;
        event.value = effect.rawValue[static_cast<std::size_t>(i)];
        out->try_push(out, &event.header);
    }
}

// --- state

SavedState Plugin::currentState() const {
    SavedState state;
    for (int32_t i = 0; i < kListedCount; ++i) state.raw[static_cast<std::size_t>(i)] = faceRaw(listedParameter(i));
    return state;
}

bool Plugin::save(const clap_ostream_t& stream) const {
    if (!stream.write) return false;
    const std::vector<uint8_t> bytes = encodeState(currentState());
    std::size_t done = 0;
    while (done < bytes.size()) {
        const int64_t wrote = stream.write(&stream, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0 || static_cast<uint64_t>(wrote) > bytes.size() - done) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

bool Plugin::load(const clap_istream_t& stream) {
    if (!stream.read) return false;
    // One byte more than the largest record: a stream that still has it holds something else.
    uint8_t bytes[kStateMaxSize + 1];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const int64_t read = stream.read(&stream, bytes + got, sizeof bytes - got);
        if (read < 0 || static_cast<uint64_t>(read) > sizeof bytes - got) return false;
        if (read == 0) break;
        got += static_cast<std::size_t>(read);
    }
    const std::optional<SavedState> state = decodeState(bytes, got);
    if (!state) return false;

    // The program first: the values stored with it win.
    applyProgram(static_cast<int32_t>((*state)[kProgramId]));
    for (int32_t i = 0; i < kListedCount; ++i) {
        const ParamRow& row = listedParameter(i);
        const float raw = state->raw[static_cast<std::size_t>(i)];
        if (i < kParamCount) {
            applyEffectValue(i, raw);
        } else if (row.kind != ParamKind::kProgram) {
            applyFaceValue(i, raw);
        }
    }
    if (hostParams && hostParams->rescan) hostParams->rescan(host, CLAP_PARAM_RESCAN_VALUES);
    return true;
}

// --- The editor's gestures

void Plugin::tellHost(uint16_t type, clap_id id, double value) {
    edits.put({type, id, value});
    if (hostParams && hostParams->request_flush) hostParams->request_flush(host);
}

void Plugin::beginEdit(int32_t index) {
    if (!isParameter(index) || editing[static_cast<std::size_t>(index)]) return;
    editing[static_cast<std::size_t>(index)] = true;
    tellHost(CLAP_EVENT_PARAM_GESTURE_BEGIN, kParameters[static_cast<std::size_t>(index)].id, 0.0);
}

void Plugin::performEdit(int32_t index, float raw) {
    if (!isParameter(index)) return;
    if (!editing[static_cast<std::size_t>(index)]) beginEdit(index);
    // The editor's own change: no readout hold.
    effect.setParameter(index, raw / kRawMaximum[static_cast<std::size_t>(index)], false, program);
    tellHost(CLAP_EVENT_PARAM_VALUE, kParameters[static_cast<std::size_t>(index)].id,
             effect.rawValue[static_cast<std::size_t>(index)]);
}

void Plugin::endEdit(int32_t index) {
    if (!isParameter(index) || !editing[static_cast<std::size_t>(index)]) return;
    editing[static_cast<std::size_t>(index)] = false;
    tellHost(CLAP_EVENT_PARAM_GESTURE_END, kParameters[static_cast<std::size_t>(index)].id, 0.0);
}

void Plugin::closeAllEdits() {
    for (int32_t i = 0; i < kParamCount; ++i) endEdit(i);
}

}  // namespace clapface
