// Our own declarations of the CLAP plug-in interface, written from its
// published C headers (version 1.2): the entry, the plug-in factory and
// descriptor, the host and plug-in records, the block call and its events.
// Only what Varnox uses is declared, under the interface's own names. Hosts
// read these records by offset, so every layout is pinned below for the
// 64-bit targets we build (Linux and Windows alike: LP64 and LLP64 agree on
// every field here, since no field is a C long).
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef uint32_t clap_id;
constexpr clap_id CLAP_INVALID_ID = UINT32_MAX;

typedef struct clap_version {
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
} clap_version_t;

constexpr clap_version_t CLAP_VERSION = {1, 2, 2};

/// A host or plug-in of major version 1 or later speaks this interface.
constexpr bool clap_version_is_compatible(clap_version_t v) { return v.major >= 1; }

typedef struct clap_plugin_descriptor {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features;  // null-terminated
} clap_plugin_descriptor_t;

typedef struct clap_host {
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void* (*get_extension)(const struct clap_host* host, const char* extension_id);
    void (*request_restart)(const struct clap_host* host);
    void (*request_process)(const struct clap_host* host);
    void (*request_callback)(const struct clap_host* host);
} clap_host_t;

// --- Events

constexpr uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;

typedef struct clap_event_header {
    uint32_t size;  // of the whole event, header included
    uint32_t time;  // sample offset in the block
    uint16_t space_id;
    uint16_t type;
    uint32_t flags;
} clap_event_header_t;

enum : uint16_t {
    CLAP_EVENT_PARAM_VALUE = 5,
    CLAP_EVENT_PARAM_MOD = 6,
    CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
    CLAP_EVENT_PARAM_GESTURE_END = 8,
};

enum : uint32_t {
    CLAP_EVENT_IS_LIVE = 1 << 0,
    CLAP_EVENT_DONT_RECORD = 1 << 1,
};

typedef struct clap_event_param_value {
    clap_event_header_t header;
    clap_id param_id;
    void* cookie;
    int32_t note_id;  // -1: any; likewise the three below
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double value;
} clap_event_param_value_t;

typedef struct clap_event_param_gesture {
    clap_event_header_t header;
    clap_id param_id;
} clap_event_param_gesture_t;

typedef struct clap_input_events {
    void* ctx;
    uint32_t (*size)(const struct clap_input_events* list);
    const clap_event_header_t* (*get)(const struct clap_input_events* list, uint32_t index);
} clap_input_events_t;

typedef struct clap_output_events {
    void* ctx;
    bool (*try_push)(const struct clap_output_events* list, const clap_event_header_t* event);
} clap_output_events_t;

// --- The block call

typedef struct clap_audio_buffer {
    float** data32;
    double** data64;
    uint32_t channel_count;
    uint32_t latency;
    uint64_t constant_mask;  // bit n: channel n holds one value throughout
} clap_audio_buffer_t;

struct clap_event_transport;

typedef struct clap_process {
    int64_t steady_time;
    uint32_t frames_count;
    const struct clap_event_transport* transport;
    const clap_audio_buffer_t* audio_inputs;
    clap_audio_buffer_t* audio_outputs;
    uint32_t audio_inputs_count;
    uint32_t audio_outputs_count;
    const clap_input_events_t* in_events;
    const clap_output_events_t* out_events;
} clap_process_t;

typedef int32_t clap_process_status;
enum : clap_process_status {
    CLAP_PROCESS_ERROR = 0,
    CLAP_PROCESS_CONTINUE = 1,
    CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2,
    CLAP_PROCESS_TAIL = 3,
    CLAP_PROCESS_SLEEP = 4,
};

// --- The plug-in, its factory and the entry

typedef struct clap_plugin {
    const clap_plugin_descriptor_t* desc;
    void* plugin_data;
    bool (*init)(const struct clap_plugin* plugin);
    void (*destroy)(const struct clap_plugin* plugin);
    bool (*activate)(const struct clap_plugin* plugin, double sample_rate, uint32_t min_frames_count,
                     uint32_t max_frames_count);
    void (*deactivate)(const struct clap_plugin* plugin);
    bool (*start_processing)(const struct clap_plugin* plugin);
    void (*stop_processing)(const struct clap_plugin* plugin);
    void (*reset)(const struct clap_plugin* plugin);
    clap_process_status (*process)(const struct clap_plugin* plugin, const clap_process_t* process);
    const void* (*get_extension)(const struct clap_plugin* plugin, const char* id);
    void (*on_main_thread)(const struct clap_plugin* plugin);
} clap_plugin_t;

constexpr char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";

typedef struct clap_plugin_factory {
    uint32_t (*get_plugin_count)(const struct clap_plugin_factory* factory);
    const clap_plugin_descriptor_t* (*get_plugin_descriptor)(const struct clap_plugin_factory* factory,
                                                             uint32_t index);
    const clap_plugin_t* (*create_plugin)(const struct clap_plugin_factory* factory, const clap_host_t* host,
                                          const char* plugin_id);
} clap_plugin_factory_t;

typedef struct clap_plugin_entry {
    clap_version_t clap_version;
    bool (*init)(const char* plugin_path);
    void (*deinit)(void);
    const void* (*get_factory)(const char* factory_id);
} clap_plugin_entry_t;

}  // extern "C"

static_assert(sizeof(void*) == 8, "the CLAP face is built for 64-bit targets only");
static_assert(sizeof(clap_version_t) == 12);
static_assert(offsetof(clap_plugin_descriptor_t, id) == 16 && offsetof(clap_plugin_descriptor_t, version) == 64 &&
              offsetof(clap_plugin_descriptor_t, features) == 80 && sizeof(clap_plugin_descriptor_t) == 88);
static_assert(offsetof(clap_host_t, host_data) == 16 && offsetof(clap_host_t, get_extension) == 56 &&
              offsetof(clap_host_t, request_callback) == 80 && sizeof(clap_host_t) == 88);
static_assert(sizeof(clap_event_header_t) == 16 && offsetof(clap_event_header_t, time) == 4 &&
              offsetof(clap_event_header_t, space_id) == 8 && offsetof(clap_event_header_t, type) == 10 &&
              offsetof(clap_event_header_t, flags) == 12);
static_assert(offsetof(clap_event_param_value_t, param_id) == 16 && offsetof(clap_event_param_value_t, cookie) == 24 &&
              offsetof(clap_event_param_value_t, note_id) == 32 && offsetof(clap_event_param_value_t, port_index) == 36 &&
              offsetof(clap_event_param_value_t, key) == 40 && offsetof(clap_event_param_value_t, value) == 48 &&
              sizeof(clap_event_param_value_t) == 56);
static_assert(offsetof(clap_event_param_gesture_t, param_id) == 16 && sizeof(clap_event_param_gesture_t) == 20);
static_assert(sizeof(clap_input_events_t) == 24 && sizeof(clap_output_events_t) == 16);
static_assert(offsetof(clap_audio_buffer_t, channel_count) == 16 && offsetof(clap_audio_buffer_t, constant_mask) == 24 &&
              sizeof(clap_audio_buffer_t) == 32);
static_assert(offsetof(clap_process_t, frames_count) == 8 && offsetof(clap_process_t, transport) == 16 &&
              offsetof(clap_process_t, audio_inputs) == 24 && offsetof(clap_process_t, audio_outputs) == 32 &&
              offsetof(clap_process_t, audio_inputs_count) == 40 && offsetof(clap_process_t, audio_outputs_count) == 44 &&
              offsetof(clap_process_t, in_events) == 48 && offsetof(clap_process_t, out_events) == 56 &&
              sizeof(clap_process_t) == 64);
static_assert(offsetof(clap_plugin_t, init) == 16 && offsetof(clap_plugin_t, process) == 72 &&
              offsetof(clap_plugin_t, on_main_thread) == 88 && sizeof(clap_plugin_t) == 96);
static_assert(sizeof(clap_plugin_factory_t) == 24);
static_assert(offsetof(clap_plugin_entry_t, init) == 16 && offsetof(clap_plugin_entry_t, get_factory) == 32 &&
              sizeof(clap_plugin_entry_t) == 40);
