// The module's factory: one audio effect class.
#pragma once

#include "platform/vst3/base.h"

namespace vst3face {

/// The process-wide factory, with a reference for the caller (GetPluginFactory).
vst3::IPluginFactory* pluginFactory();

}  // namespace vst3face
