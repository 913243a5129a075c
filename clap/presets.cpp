#include "clap/presets.h"

#include <array>
#include <cstring>
#include <new>
#include <string>

#include "clap/factory.h"
#include "core/programs.h"

namespace clapface {

namespace {

constexpr char kProviderId[] = "com.zem.varnox.factory-programs";

const clap_preset_discovery_provider_descriptor_t kProviderDescriptor = {
    CLAP_VERSION, kProviderId, "ORv Varnox factory programs", "Zem"};

const clap_preset_discovery_location_t kLocation = {
    CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT, "ORv Varnox factory programs", CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN,
    nullptr};

// The load keys: each program's number.
const std::array<std::string, kProgramCount> kLoadKeys = [] {
    std::array<std::string, kProgramCount> keys;
    for (int32_t p = 0; p < kProgramCount; ++p) keys[static_cast<std::size_t>(p)] = std::to_string(p);
    return keys;
}();

struct Provider {
    clap_preset_discovery_provider_t record;
    const clap_preset_discovery_indexer_t* indexer;
};

Provider& providerOf(const clap_preset_discovery_provider_t* p) { return *static_cast<Provider*>(p->provider_data); }

bool listPresets(const clap_preset_discovery_metadata_receiver_t& receiver) {
    const clap_universal_plugin_id_t plugin = {"clap", kPluginId};
    for (int32_t p = 0; p < kProgramCount; ++p) {
        if (!receiver.begin_preset(&receiver, kFactoryPrograms[static_cast<std::size_t>(p)].name,
                                   kLoadKeys[static_cast<std::size_t>(p)].c_str()))
            break;
        receiver.add_plugin_id(&receiver, &plugin);
        receiver.set_flags(&receiver, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
    }
    return true;
}

const clap_preset_discovery_provider_t* createProvider(const clap_preset_discovery_indexer_t* indexer) {
    auto* provider = new (std::nothrow) Provider{};
    if (!provider) return nullptr;
    provider->indexer = indexer;
    clap_preset_discovery_provider_t& r = provider->record;
    r.desc = &kProviderDescriptor;
    r.provider_data = provider;
    r.init = [](const clap_preset_discovery_provider_t* p) {
        const clap_preset_discovery_indexer_t* indexer = providerOf(p).indexer;
        return indexer->declare_location && indexer->declare_location(indexer, &kLocation);
    };
    r.destroy = [](const clap_preset_discovery_provider_t* p) { delete &providerOf(p); };
    r.get_metadata = [](const clap_preset_discovery_provider_t*, uint32_t kind, const char* location,
                        const clap_preset_discovery_metadata_receiver_t* receiver) {
        if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || location || !receiver) return false;
        return listPresets(*receiver);
    };
    r.get_extension = [](const clap_preset_discovery_provider_t*, const char*) -> const void* { return nullptr; };
    return &provider->record;
}

const clap_preset_discovery_factory_t kFactory = {
    [](const clap_preset_discovery_factory_t*) -> uint32_t { return 1; },
    [](const clap_preset_discovery_factory_t*, uint32_t index) {
        return index == 0 ? &kProviderDescriptor : nullptr;
    },
    [](const clap_preset_discovery_factory_t*, const clap_preset_discovery_indexer_t* indexer,
       const char* id) -> const clap_preset_discovery_provider_t* {
        if (!indexer || !id || std::strcmp(id, kProviderId) != 0) return nullptr;
        return createProvider(indexer);
    },
};

}  // namespace

const clap_preset_discovery_factory_t* presetDiscoveryFactory() { return &kFactory; }

std::optional<int32_t> programOfPreset(uint32_t locationKind, const char* location, const char* loadKey) {
    if (locationKind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || location || !loadKey) return std::nullopt;
    for (int32_t p = 0; p < kProgramCount; ++p) {
        if (kLoadKeys[static_cast<std::size_t>(p)] == loadKey) return p;
    }
    return std::nullopt;
}

}  // namespace clapface
