// The plug-in's identity and the factory that makes it.
#include "clap/factory.h"

#include <cstring>
#include <new>

#include "clap/plugin.h"

namespace clapface {

namespace {

const char* const kFeatures[] = {"audio-effect", "distortion", "stereo", nullptr};

const clap_plugin_descriptor_t kDescriptor = {
    CLAP_VERSION,
    kPluginId,
    "ORv Varnox",
    "Zem",
    "",
    "",
    "",
    VARNOX_VERSION,
    "A stereo saturating drive",
    kFeatures,
};

const clap_plugin_factory_t kFactory = {
    [](const clap_plugin_factory_t*) -> uint32_t { return 1; },
    [](const clap_plugin_factory_t*, uint32_t index) { return index == 0 ? &kDescriptor : nullptr; },
    [](const clap_plugin_factory_t*, const clap_host_t* host, const char* id) -> const clap_plugin_t* {
        if (!host || !id || std::strcmp(id, kPluginId) != 0 || !clap_version_is_compatible(host->clap_version))
            return nullptr;
        Plugin* plugin = new (std::nothrow) Plugin(host);
        return plugin ? plugin->record() : nullptr;
    },
};

}  // namespace

const clap_plugin_descriptor_t& descriptor() { return kDescriptor; }

const clap_plugin_factory_t* pluginFactory() { return &kFactory; }

}  // namespace clapface
