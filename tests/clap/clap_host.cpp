#include "tests/clap/clap_host.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <stdexcept>

#include "platform/dynamic_library.h"

namespace claphost {

namespace {

DynamicLibrary& module() {
    static DynamicLibrary library;
    if (!library.isOpen() && !library.open(VARNOX_CLAP_PATH))
        throw std::runtime_error("cannot load " VARNOX_CLAP_PATH ": " + library.error());
    return library;
}

Host& hostOf(const clap_host_t* host) { return *static_cast<Host*>(host->host_data); }

}  // namespace

const clap_plugin_entry_t& entry() {
    static const clap_plugin_entry_t* loaded = [] {
        auto* e = static_cast<const clap_plugin_entry_t*>(module().symbol("clap_entry"));
        if (!e || !e->init(VARNOX_CLAP_PATH)) throw std::runtime_error("clap_entry missing or refused to start");
        return e;
    }();
    return *loaded;
}

const clap_plugin_factory_t& factory() {
    return *static_cast<const clap_plugin_factory_t*>(entry().get_factory(CLAP_PLUGIN_FACTORY_ID));
}

std::ostream& operator<<(std::ostream& os, const Event& e) {
    return os << "{type " << e.type << " at " << e.time << " id " << e.id << " value " << e.value << "}";
}

Event paramValue(clap_id id, double value, uint32_t time) { return Event{CLAP_EVENT_PARAM_VALUE, time, id, value}; }
Event gesture(uint16_t type, clap_id id, uint32_t time) { return Event{type, time, id, 0.0}; }

// --- Event lists

InputEvents::InputEvents() {
    record.ctx = this;
    record.size = [](const clap_input_events_t* list) {
        return static_cast<uint32_t>(static_cast<const InputEvents*>(list->ctx)->events.size());
    };
    record.get = [](const clap_input_events_t* list, uint32_t index) -> const clap_event_header_t* {
        const auto& events = static_cast<const InputEvents*>(list->ctx)->events;
        return index < events.size() ? &events[index].header : nullptr;
    };
}

void InputEvents::add(clap_id id, double value, uint32_t time) {
    clap_event_param_value_t event{};
    event.header = {sizeof event, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    event.param_id = id;
    event.note_id = -1;
    event.port_index = -1;
    event.channel = -1;
    event.key = -1;
    event.value = value;
    events.push_back(event);
}

OutputEvents::OutputEvents(std::size_t limit) : capacity(limit) {
    events.reserve(std::min<std::size_t>(limit, 4096));
    record.ctx = this;
    record.try_push = [](const clap_output_events_t* list, const clap_event_header_t* header) {
        auto& self = *static_cast<OutputEvents*>(list->ctx);
        if (!header || self.events.size() >= self.capacity) return false;
        EXPECT_EQ(header->space_id, CLAP_CORE_EVENT_SPACE_ID);
        Event event{header->type, header->time, 0, 0.0};
        if (header->type == CLAP_EVENT_PARAM_VALUE) {
            EXPECT_EQ(header->size, sizeof(clap_event_param_value_t));
            const auto* value = reinterpret_cast<const clap_event_param_value_t*>(header);
            event.id = value->param_id;
            event.value = value->value;
        } else if (header->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || header->type == CLAP_EVENT_PARAM_GESTURE_END) {
            EXPECT_EQ(header->size, sizeof(clap_event_param_gesture_t));
            event.id = reinterpret_cast<const clap_event_param_gesture_t*>(header)->param_id;
        } else {
            ADD_FAILURE() << "unexpected event type " << header->type;
        }
        // Events of one list come in time order.
        if (!self.events.empty()) {
            EXPECT_GE(event.time, self.events.back().time);
        }
        self.events.push_back(event);
        return true;
    };
}

// --- Host

struct HostCalls {
    static const void* extension(const clap_host_t* h, const char* id) {
        Host& host = hostOf(h);
        if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &params;
        if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &state;
        if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0) return &threadCheck;
        if (std::strcmp(id, CLAP_EXT_PRESET_LOAD) == 0) return &presetLoad;
        if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &latency;
        if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0 && host.offerTimers) return &timers;
        if (std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0 && host.offerDescriptors) return &descriptors;
        return nullptr;
    }

    static constexpr clap_host_params_t params = {
        [](const clap_host_t* h, clap_param_rescan_flags) {
            hostOf(h).mainThreadOnly("params.rescan");
            ++hostOf(h).rescans;
        },
        [](const clap_host_t* h, clap_id, clap_param_clear_flags) { hostOf(h).mainThreadOnly("params.clear"); },
        // Any thread but the audio thread may ask.
        [](const clap_host_t* h) { ++hostOf(h).flushRequests; },
    };
    static constexpr clap_host_state_t state = {
        [](const clap_host_t* h) { hostOf(h).mainThreadOnly("state.mark_dirty"); },
    };
    static constexpr clap_host_thread_check_t threadCheck = {
        [](const clap_host_t* h) { return std::this_thread::get_id() == hostOf(h).main; },
        [](const clap_host_t* h) { return std::this_thread::get_id() != hostOf(h).main; },
    };
    static constexpr clap_host_latency_t latency = {
        [](const clap_host_t* h) {
            hostOf(h).mainThreadOnly("latency.changed");
            ++hostOf(h).latencyChanges;
        },
    };
    static constexpr clap_host_preset_load_t presetLoad = {
        [](const clap_host_t* h, uint32_t, const char*, const char* key, int32_t, const char*) {
            hostOf(h).mainThreadOnly("preset-load.on_error");
            hostOf(h).presetErrors.push_back(key ? key : "(null)");
        },
        [](const clap_host_t* h, uint32_t, const char*, const char* key) {
            hostOf(h).mainThreadOnly("preset-load.loaded");
            hostOf(h).presetsLoaded.push_back(key ? key : "(null)");
        },
    };
    static constexpr clap_host_timer_support_t timers = {
        [](const clap_host_t* h, uint32_t period, clap_id* id) {
            Host& host = hostOf(h);
            host.mainThreadOnly("timer-support.register_timer");
            if (!id || period == 0 || host.refuseTimers) return false;
            *id = host.nextTimer++;
            host.timers.push_back({*id, period});
            return true;
        },
        [](const clap_host_t* h, clap_id id) {
            Host& host = hostOf(h);
            host.mainThreadOnly("timer-support.unregister_timer");
            const auto it = std::find_if(host.timers.begin(), host.timers.end(),
                                         [id](const Host::Timer& t) { return t.id == id; });
            if (it == host.timers.end()) {
                ADD_FAILURE() << "unregistering timer " << id << ", which is not registered";
                return false;
            }
            host.timers.erase(it);
            return true;
        },
    };
    static constexpr clap_host_posix_fd_support_t descriptors = {
        [](const clap_host_t* h, int fd, clap_posix_fd_flags flags) {
            Host& host = hostOf(h);
            host.mainThreadOnly("posix-fd-support.register_fd");
            EXPECT_TRUE(flags & CLAP_POSIX_FD_READ);
            if (std::count(host.descriptors.begin(), host.descriptors.end(), fd)) return false;
            host.descriptors.push_back(fd);
            return true;
        },
        [](const clap_host_t* h, int, clap_posix_fd_flags) {
            hostOf(h).mainThreadOnly("posix-fd-support.modify_fd");
            return true;
        },
        [](const clap_host_t* h, int fd) {
            Host& host = hostOf(h);
            host.mainThreadOnly("posix-fd-support.unregister_fd");
            const auto it = std::find(host.descriptors.begin(), host.descriptors.end(), fd);
            if (it == host.descriptors.end()) return false;
            host.descriptors.erase(it);
            return true;
        },
    };
};

Host::Host() : main(std::this_thread::get_id()) {
    host.clap_version = CLAP_VERSION;
    host.host_data = this;
    host.name = "Varnox test host";
    host.vendor = "Varnox";
    host.url = "";
    host.version = "1";
    host.get_extension = HostCalls::extension;
    host.request_restart = [](const clap_host_t* h) { ++hostOf(h).restarts; };
    host.request_process = [](const clap_host_t*) {};
    host.request_callback = [](const clap_host_t*) {};
}

void Host::mainThreadOnly(const char* call) {
    if (std::this_thread::get_id() == main) return;
    const std::lock_guard<std::mutex> guard(violationsLock);
    violations.push_back(call);
}

void ClapTest::TearDown() {
    const std::lock_guard<std::mutex> guard(host.violationsLock);
    for (const std::string& call : host.violations) ADD_FAILURE() << call << " was called off the main thread";
}

// --- Plugin

Plugin::Plugin(Host& host) {
    plugin = factory().create_plugin(&factory(), host.record(), "com.zem.varnox");
    if (!plugin) throw std::runtime_error("the factory made no plug-in");
    if (!plugin->init(plugin)) throw std::runtime_error("the plug-in refused to initialise");
}

Plugin::~Plugin() {
    if (active) deactivate();
    plugin->destroy(plugin);
}

bool Plugin::activate(double sampleRate, uint32_t maxFrames) {
    active = plugin->activate(plugin, sampleRate, 1, maxFrames);
    if (active) {
        EXPECT_TRUE(plugin->start_processing(plugin));
    }
    return active;
}

void Plugin::deactivate() {
    plugin->stop_processing(plugin);
    plugin->deactivate(plugin);
    active = false;
}

double Plugin::value(clap_id id) const {
    double v = -1.0;
    EXPECT_TRUE(params().get_value(plugin, id, &v)) << "parameter " << id;
    return v;
}

void Plugin::flushValues(const std::vector<std::pair<clap_id, double>>& values, OutputEvents* out) {
    InputEvents in;
    for (const auto& [id, v] : values) in.add(id, v);
    params().flush(plugin, in.list(), (out ? out : &refused)->list());
}

clap_process_status Plugin::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                                    uint32_t frames, const InputEvents* in, OutputEvents* out,
                                    uint64_t* constantMask) {
    float* inputs[2] = {const_cast<float*>(inLeft), const_cast<float*>(inRight)};
    float* outputs[2] = {outLeft, outRight};
    clap_audio_buffer_t inBuffer{inputs, nullptr, 2, 0, 0};
    clap_audio_buffer_t outBuffer{outputs, nullptr, 2, 0, 0};
    static const InputEvents none;
    clap_process_t block{};
    block.steady_time = -1;
    block.frames_count = frames;
    block.audio_inputs = &inBuffer;
    block.audio_outputs = &outBuffer;
    block.audio_inputs_count = 1;
    block.audio_outputs_count = 1;
    block.in_events = (in ? in : &none)->list();
    block.out_events = (out ? out : &refused)->list();
    const clap_process_status status = plugin->process(plugin, &block);
    if (constantMask) *constantMask = outBuffer.constant_mask;
    return status;
}

std::vector<uint8_t> Plugin::save(std::size_t chunk) const {
    struct Sink {
        std::vector<uint8_t> bytes;
        std::size_t chunk;
    } sink{{}, chunk};
    clap_ostream_t stream{&sink, [](const clap_ostream_t* s, const void* buffer, uint64_t size) -> int64_t {
                              auto& sink = *static_cast<Sink*>(s->ctx);
                              const auto n = static_cast<std::size_t>(std::min<uint64_t>(size, sink.chunk));
                              const auto* bytes = static_cast<const uint8_t*>(buffer);
                              sink.bytes.insert(sink.bytes.end(), bytes, bytes + n);
                              return static_cast<int64_t>(n);
                          }};
    EXPECT_TRUE(extension<clap_plugin_state_t>(CLAP_EXT_STATE)->save(plugin, &stream));
    return sink.bytes;
}

bool Plugin::load(const std::vector<uint8_t>& bytes, std::size_t chunk, std::size_t failAt) {
    struct Source {
        const std::vector<uint8_t>& bytes;
        std::size_t position, chunk, failAt;
    } source{bytes, 0, chunk, failAt};
    clap_istream_t stream{&source, [](const clap_istream_t* s, void* buffer, uint64_t size) -> int64_t {
                              auto& src = *static_cast<Source*>(s->ctx);
                              if (src.position >= src.failAt) return -1;
                              const std::size_t left = src.bytes.size() - src.position;
                              const auto n = static_cast<std::size_t>(
                                  std::min<uint64_t>({size, left, src.chunk, src.failAt - src.position}));
                              if (n) std::memcpy(buffer, src.bytes.data() + src.position, n);
                              src.position += n;
                              return static_cast<int64_t>(n);
                          }};
    return extension<clap_plugin_state_t>(CLAP_EXT_STATE)->load(plugin, &stream);
}

}  // namespace claphost
