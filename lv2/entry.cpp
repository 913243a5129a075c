// The plug-in's one export: lv2_descriptor, over lv2face::Plugin.
#include <lv2/core/lv2.h>

#include <new>

#include "lv2/plugin.h"

namespace {

using lv2face::Plugin;

Plugin* self(LV2_Handle handle) { return static_cast<Plugin*>(handle); }

// No host feature is needed: the sample rate is all a run needs to know.
LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const*) {
    return new (std::nothrow) Plugin(sampleRate);
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) { self(handle)->connect(port, data); }

void activate(LV2_Handle handle) { self(handle)->activate(); }

void run(LV2_Handle handle, uint32_t frames) { self(handle)->run(frames); }

void deactivate(LV2_Handle handle) { self(handle)->deactivate(); }

void cleanup(LV2_Handle handle) { delete self(handle); }

const void* extensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {lv2face::kPluginUri, instantiate, connectPort, activate, run,
                                    deactivate, cleanup, extensionData};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
