// The CLAP module's one factory, of one plug-in.
#pragma once

#include "platform/clap/plugin.h"

namespace clapface {

/// Stable: hosts and stored projects find the plug-in by it.
constexpr char kPluginId[] = "com.zem.varnox";

const clap_plugin_factory_t* pluginFactory();

}  // namespace clapface
