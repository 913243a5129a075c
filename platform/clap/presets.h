// Our own declarations of CLAP's preset discovery factory and the preset-load
// extension, written from their published C headers (version 1.2): how a
// host indexes the presets a plug-in holds and asks it to load one. Every
// layout is pinned below.
#pragma once

#include "platform/clap/plugin.h"

extern "C" {

constexpr char CLAP_PRESET_DISCOVERY_FACTORY_ID[] = "clap.preset-discovery-factory/2";
constexpr char CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT[] = "clap.preset-discovery-factory/draft-2";
constexpr char CLAP_EXT_PRESET_LOAD[] = "clap.preset-load/2";
constexpr char CLAP_EXT_PRESET_LOAD_COMPAT[] = "clap.preset-load.draft/2";

enum : uint32_t {
    CLAP_PRESET_DISCOVERY_LOCATION_FILE = 0,
    CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN = 1,  // presets inside the plug-in; the location is null
};

enum : uint32_t {
    CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT = 1 << 0,
    CLAP_PRESET_DISCOVERY_IS_USER_CONTENT = 1 << 1,
};

typedef uint64_t clap_timestamp_t;

typedef struct clap_universal_plugin_id {
    const char* abi;  // "clap"
    const char* id;
} clap_universal_plugin_id_t;

typedef struct clap_preset_discovery_metadata_receiver {
    void* receiver_data;
    void (*on_error)(const struct clap_preset_discovery_metadata_receiver* receiver, int32_t os_error,
                     const char* error_message);
    /// False: the provider must stop calling the receiver.
    bool (*begin_preset)(const struct clap_preset_discovery_metadata_receiver* receiver, const char* name,
                         const char* load_key);
    void (*add_plugin_id)(const struct clap_preset_discovery_metadata_receiver* receiver,
                          const clap_universal_plugin_id_t* plugin_id);
    void (*set_soundpack_id)(const struct clap_preset_discovery_metadata_receiver* receiver, const char* soundpack_id);
    void (*set_flags)(const struct clap_preset_discovery_metadata_receiver* receiver, uint32_t flags);
    void (*add_creator)(const struct clap_preset_discovery_metadata_receiver* receiver, const char* creator);
    void (*set_description)(const struct clap_preset_discovery_metadata_receiver* receiver, const char* description);
    void (*set_timestamps)(const struct clap_preset_discovery_metadata_receiver* receiver,
                           clap_timestamp_t creation_time, clap_timestamp_t modification_time);
    void (*add_feature)(const struct clap_preset_discovery_metadata_receiver* receiver, const char* feature);
    void (*add_extra_info)(const struct clap_preset_discovery_metadata_receiver* receiver, const char* key,
                           const char* value);
} clap_preset_discovery_metadata_receiver_t;

typedef struct clap_preset_discovery_filetype {
    const char* name;
    const char* description;
    const char* file_extension;
} clap_preset_discovery_filetype_t;

typedef struct clap_preset_discovery_location {
    uint32_t flags;
    const char* name;
    uint32_t kind;
    const char* location;
} clap_preset_discovery_location_t;

struct clap_preset_discovery_soundpack;

typedef struct clap_preset_discovery_provider_descriptor {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
} clap_preset_discovery_provider_descriptor_t;

typedef struct clap_preset_discovery_provider {
    const clap_preset_discovery_provider_descriptor_t* desc;
    void* provider_data;
    bool (*init)(const struct clap_preset_discovery_provider* provider);
    void (*destroy)(const struct clap_preset_discovery_provider* provider);
    bool (*get_metadata)(const struct clap_preset_discovery_provider* provider, uint32_t location_kind,
                         const char* location, const clap_preset_discovery_metadata_receiver_t* metadata_receiver);
    const void* (*get_extension)(const struct clap_preset_discovery_provider* provider, const char* extension_id);
} clap_preset_discovery_provider_t;

typedef struct clap_preset_discovery_indexer {
    clap_version_t clap_version;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    void* indexer_data;
    bool (*declare_filetype)(const struct clap_preset_discovery_indexer* indexer,
                             const clap_preset_discovery_filetype_t* filetype);
    bool (*declare_location)(const struct clap_preset_discovery_indexer* indexer,
                             const clap_preset_discovery_location_t* location);
    bool (*declare_soundpack)(const struct clap_preset_discovery_indexer* indexer,
                              const struct clap_preset_discovery_soundpack* soundpack);
    const void* (*get_extension)(const struct clap_preset_discovery_indexer* indexer, const char* extension_id);
} clap_preset_discovery_indexer_t;

typedef struct clap_preset_discovery_factory {
    uint32_t (*count)(const struct clap_preset_discovery_factory* factory);
    const clap_preset_discovery_provider_descriptor_t* (*get_descriptor)(
        const struct clap_preset_discovery_factory* factory, uint32_t index);
    const clap_preset_discovery_provider_t* (*create)(const struct clap_preset_discovery_factory* factory,
                                                      const clap_preset_discovery_indexer_t* indexer,
                                                      const char* provider_id);
} clap_preset_discovery_factory_t;

typedef struct clap_plugin_preset_load {
    bool (*from_location)(const clap_plugin_t* plugin, uint32_t location_kind, const char* location,
                          const char* load_key);
} clap_plugin_preset_load_t;

typedef struct clap_host_preset_load {
    void (*on_error)(const clap_host_t* host, uint32_t location_kind, const char* location, const char* load_key,
                     int32_t os_error, const char* msg);
    void (*loaded)(const clap_host_t* host, uint32_t location_kind, const char* location, const char* load_key);
} clap_host_preset_load_t;

}  // extern "C"

static_assert(sizeof(clap_universal_plugin_id_t) == 16);
static_assert(offsetof(clap_preset_discovery_metadata_receiver_t, begin_preset) == 16 &&
              offsetof(clap_preset_discovery_metadata_receiver_t, set_flags) == 40 &&
              offsetof(clap_preset_discovery_metadata_receiver_t, add_extra_info) == 80 &&
              sizeof(clap_preset_discovery_metadata_receiver_t) == 88);
static_assert(sizeof(clap_preset_discovery_filetype_t) == 24);
static_assert(offsetof(clap_preset_discovery_location_t, name) == 8 &&
              offsetof(clap_preset_discovery_location_t, kind) == 16 &&
              offsetof(clap_preset_discovery_location_t, location) == 24 &&
              sizeof(clap_preset_discovery_location_t) == 32);
static_assert(offsetof(clap_preset_discovery_provider_descriptor_t, id) == 16 &&
              sizeof(clap_preset_discovery_provider_descriptor_t) == 40);
static_assert(offsetof(clap_preset_discovery_provider_t, init) == 16 &&
              offsetof(clap_preset_discovery_provider_t, get_metadata) == 32 &&
              sizeof(clap_preset_discovery_provider_t) == 48);
static_assert(offsetof(clap_preset_discovery_indexer_t, indexer_data) == 48 &&
              offsetof(clap_preset_discovery_indexer_t, declare_location) == 64 &&
              sizeof(clap_preset_discovery_indexer_t) == 88);
static_assert(sizeof(clap_preset_discovery_factory_t) == 24);
static_assert(sizeof(clap_plugin_preset_load_t) == 8 && sizeof(clap_host_preset_load_t) == 16);
