// The factory programs as CLAP presets: a preset discovery factory with one
// provider that lists them as presets inside the plug-in, each loaded by its
// number through the plug-in's preset-load extension.
#pragma once

#include <optional>

#include "platform/clap/presets.h"

namespace clapface {

const clap_preset_discovery_factory_t* presetDiscoveryFactory();

/// The program a preset location and load key name: the plug-in's own
/// location (kind PLUGIN, no path) and a program number "0" to "9".
std::optional<int32_t> programOfPreset(uint32_t locationKind, const char* location, const char* loadKey);

}  // namespace clapface
