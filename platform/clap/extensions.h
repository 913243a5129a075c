// Our own declarations of the CLAP extensions Varnox offers or asks its host
// for, written from their published C headers (version 1.2). Each record is a
// table of calls the other side reads by offset: every layout is pinned below.
#pragma once

#include "platform/clap/plugin.h"

extern "C" {

constexpr char CLAP_EXT_AUDIO_PORTS[] = "clap.audio-ports";
constexpr char CLAP_EXT_PARAMS[] = "clap.params";
constexpr char CLAP_EXT_STATE[] = "clap.state";
constexpr char CLAP_EXT_LATENCY[] = "clap.latency";
constexpr char CLAP_EXT_TAIL[] = "clap.tail";
constexpr char CLAP_EXT_RENDER[] = "clap.render";
constexpr char CLAP_EXT_GUI[] = "clap.gui";
constexpr char CLAP_EXT_TIMER_SUPPORT[] = "clap.timer-support";
constexpr char CLAP_EXT_POSIX_FD_SUPPORT[] = "clap.posix-fd-support";
constexpr char CLAP_EXT_THREAD_CHECK[] = "clap.thread-check";

// --- audio-ports

constexpr char CLAP_PORT_STEREO[] = "stereo";
enum : uint32_t {
    CLAP_AUDIO_PORT_IS_MAIN = 1 << 0,
};

typedef struct clap_audio_port_info {
    clap_id id;
    char name[256];
    uint32_t flags;
    uint32_t channel_count;
    const char* port_type;
    clap_id in_place_pair;
} clap_audio_port_info_t;

typedef struct clap_plugin_audio_ports {
    uint32_t (*count)(const clap_plugin_t* plugin, bool is_input);
    bool (*get)(const clap_plugin_t* plugin, uint32_t index, bool is_input, clap_audio_port_info_t* info);
} clap_plugin_audio_ports_t;

// --- params

typedef uint32_t clap_param_info_flags;
enum : clap_param_info_flags {
    CLAP_PARAM_IS_STEPPED = 1 << 0,
    CLAP_PARAM_IS_PERIODIC = 1 << 1,
    CLAP_PARAM_IS_HIDDEN = 1 << 2,
    CLAP_PARAM_IS_READONLY = 1 << 3,
    CLAP_PARAM_IS_BYPASS = 1 << 4,
    CLAP_PARAM_IS_AUTOMATABLE = 1 << 5,
    CLAP_PARAM_IS_MODULATABLE = 1 << 10,
    CLAP_PARAM_REQUIRES_PROCESS = 1 << 15,
    CLAP_PARAM_IS_ENUM = 1 << 16,
};

constexpr std::size_t CLAP_NAME_SIZE = 256;
constexpr std::size_t CLAP_PATH_SIZE = 1024;

typedef struct clap_param_info {
    clap_id id;
    clap_param_info_flags flags;
    void* cookie;
    char name[CLAP_NAME_SIZE];
    char module[CLAP_PATH_SIZE];
    double min_value;
    double max_value;
    double default_value;
} clap_param_info_t;

typedef struct clap_plugin_params {
    uint32_t (*count)(const clap_plugin_t* plugin);
    bool (*get_info)(const clap_plugin_t* plugin, uint32_t param_index, clap_param_info_t* param_info);
    bool (*get_value)(const clap_plugin_t* plugin, clap_id param_id, double* out_value);
    bool (*value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value, char* out_buffer,
                          uint32_t out_buffer_capacity);
    bool (*text_to_value)(const clap_plugin_t* plugin, clap_id param_id, const char* param_value_text,
                          double* out_value);
    void (*flush)(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out);
} clap_plugin_params_t;

typedef uint32_t clap_param_rescan_flags;
enum : clap_param_rescan_flags {
    CLAP_PARAM_RESCAN_VALUES = 1 << 0,
    CLAP_PARAM_RESCAN_TEXT = 1 << 1,
    CLAP_PARAM_RESCAN_INFO = 1 << 2,
    CLAP_PARAM_RESCAN_ALL = 1 << 3,
};
typedef uint32_t clap_param_clear_flags;

typedef struct clap_host_params {
    void (*rescan)(const clap_host_t* host, clap_param_rescan_flags flags);
    void (*clear)(const clap_host_t* host, clap_id param_id, clap_param_clear_flags flags);
    void (*request_flush)(const clap_host_t* host);
} clap_host_params_t;

// --- state

typedef struct clap_istream {
    void* ctx;
    /// Bytes read into `buffer`: 0 at the end, -1 on an error.
    int64_t (*read)(const struct clap_istream* stream, void* buffer, uint64_t size);
} clap_istream_t;

typedef struct clap_ostream {
    void* ctx;
    /// Bytes taken from `buffer`, possibly fewer than `size`; -1 on an error.
    int64_t (*write)(const struct clap_ostream* stream, const void* buffer, uint64_t size);
} clap_ostream_t;

typedef struct clap_plugin_state {
    bool (*save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);
    bool (*load)(const clap_plugin_t* plugin, const clap_istream_t* stream);
} clap_plugin_state_t;

typedef struct clap_host_state {
    void (*mark_dirty)(const clap_host_t* host);
} clap_host_state_t;

// --- latency, tail, render

typedef struct clap_plugin_latency {
    uint32_t (*get)(const clap_plugin_t* plugin);
} clap_plugin_latency_t;

typedef struct clap_plugin_tail {
    uint32_t (*get)(const clap_plugin_t* plugin);
} clap_plugin_tail_t;

typedef int32_t clap_plugin_render_mode;
enum : clap_plugin_render_mode {
    CLAP_RENDER_REALTIME = 0,
    CLAP_RENDER_OFFLINE = 1,
};

typedef struct clap_plugin_render {
    bool (*has_hard_realtime_requirement)(const clap_plugin_t* plugin);
    bool (*set)(const clap_plugin_t* plugin, clap_plugin_render_mode mode);
} clap_plugin_render_t;

// --- gui

constexpr char CLAP_WINDOW_API_WIN32[] = "win32";
constexpr char CLAP_WINDOW_API_X11[] = "x11";

typedef struct clap_window {
    const char* api;
    union {
        void* cocoa;
        unsigned long long x11;  // an X11 Window: a C long on Linux, 64 bits here either way
        void* win32;             // an HWND
        void* ptr;
    };
} clap_window_t;

typedef struct clap_gui_resize_hints {
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    uint32_t aspect_ratio_width;
    uint32_t aspect_ratio_height;
} clap_gui_resize_hints_t;

typedef struct clap_plugin_gui {
    bool (*is_api_supported)(const clap_plugin_t* plugin, const char* api, bool is_floating);
    bool (*get_preferred_api)(const clap_plugin_t* plugin, const char** api, bool* is_floating);
    bool (*create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
    void (*destroy)(const clap_plugin_t* plugin);
    bool (*set_scale)(const clap_plugin_t* plugin, double scale);
    bool (*get_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
    bool (*can_resize)(const clap_plugin_t* plugin);
    bool (*get_resize_hints)(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
    bool (*adjust_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
    bool (*set_size)(const clap_plugin_t* plugin, uint32_t width, uint32_t height);
    bool (*set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
    bool (*set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
    void (*suggest_title)(const clap_plugin_t* plugin, const char* title);
    bool (*show)(const clap_plugin_t* plugin);
    bool (*hide)(const clap_plugin_t* plugin);
} clap_plugin_gui_t;

typedef struct clap_host_gui {
    void (*resize_hints_changed)(const clap_host_t* host);
    bool (*request_resize)(const clap_host_t* host, uint32_t width, uint32_t height);
    bool (*request_show)(const clap_host_t* host);
    bool (*request_hide)(const clap_host_t* host);
    void (*closed)(const clap_host_t* host, bool was_destroyed);
} clap_host_gui_t;

// --- the host's main-thread run loop

typedef struct clap_plugin_timer_support {
    void (*on_timer)(const clap_plugin_t* plugin, clap_id timer_id);
} clap_plugin_timer_support_t;

typedef struct clap_host_timer_support {
    bool (*register_timer)(const clap_host_t* host, uint32_t period_ms, clap_id* timer_id);
    bool (*unregister_timer)(const clap_host_t* host, clap_id timer_id);
} clap_host_timer_support_t;

typedef uint32_t clap_posix_fd_flags;
enum : clap_posix_fd_flags {
    CLAP_POSIX_FD_READ = 1 << 0,
    CLAP_POSIX_FD_WRITE = 1 << 1,
    CLAP_POSIX_FD_ERROR = 1 << 2,
};

typedef struct clap_plugin_posix_fd_support {
    void (*on_fd)(const clap_plugin_t* plugin, int fd, clap_posix_fd_flags flags);
} clap_plugin_posix_fd_support_t;

typedef struct clap_host_posix_fd_support {
    bool (*register_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags flags);
    bool (*modify_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags flags);
    bool (*unregister_fd)(const clap_host_t* host, int fd);
} clap_host_posix_fd_support_t;

typedef struct clap_host_thread_check {
    bool (*is_main_thread)(const clap_host_t* host);
    bool (*is_audio_thread)(const clap_host_t* host);
} clap_host_thread_check_t;

typedef struct clap_host_latency {
    void (*changed)(const clap_host_t* host);
} clap_host_latency_t;

}  // extern "C"

static_assert(offsetof(clap_audio_port_info_t, name) == 4 && offsetof(clap_audio_port_info_t, flags) == 260 &&
              offsetof(clap_audio_port_info_t, channel_count) == 264 &&
              offsetof(clap_audio_port_info_t, port_type) == 272 &&
              offsetof(clap_audio_port_info_t, in_place_pair) == 280 && sizeof(clap_audio_port_info_t) == 288);
static_assert(sizeof(clap_plugin_audio_ports_t) == 16);
static_assert(offsetof(clap_param_info_t, flags) == 4 && offsetof(clap_param_info_t, cookie) == 8 &&
              offsetof(clap_param_info_t, name) == 16 && offsetof(clap_param_info_t, module) == 272 &&
              offsetof(clap_param_info_t, min_value) == 1296 && offsetof(clap_param_info_t, max_value) == 1304 &&
              offsetof(clap_param_info_t, default_value) == 1312 && sizeof(clap_param_info_t) == 1320);
static_assert(sizeof(clap_plugin_params_t) == 48 && sizeof(clap_host_params_t) == 24);
static_assert(sizeof(clap_istream_t) == 16 && sizeof(clap_ostream_t) == 16 && sizeof(clap_plugin_state_t) == 16);
static_assert(sizeof(clap_plugin_latency_t) == 8 && sizeof(clap_plugin_tail_t) == 8 && sizeof(clap_plugin_render_t) == 16);
static_assert(offsetof(clap_window_t, x11) == 8 && sizeof(clap_window_t) == 16);
static_assert(offsetof(clap_gui_resize_hints_t, aspect_ratio_width) == 4 && sizeof(clap_gui_resize_hints_t) == 12);
static_assert(sizeof(clap_plugin_gui_t) == 120 && offsetof(clap_plugin_gui_t, set_scale) == 32 &&
              offsetof(clap_plugin_gui_t, set_parent) == 80 && offsetof(clap_plugin_gui_t, hide) == 112);
static_assert(sizeof(clap_host_gui_t) == 40);
static_assert(sizeof(clap_plugin_timer_support_t) == 8 && sizeof(clap_host_timer_support_t) == 16);
static_assert(sizeof(clap_plugin_posix_fd_support_t) == 8 && sizeof(clap_host_posix_fd_support_t) == 24);
static_assert(sizeof(clap_host_thread_check_t) == 16);
