// What the benchmarks share: an instance driven through its AEffect record,
// the coefficient set of a factory program, and the closing summary.
#pragma once

#include <cstdint>

#include "bench/baseline_block.h"
#include "platform/vst2.h"

namespace benchsupport {

/// An instance as a host holds it: both pins connected, switched on.
class PluginInstance {
public:
    PluginInstance(int32_t program, float sampleRate, int32_t blockSize);
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* record() const { return record_; }

private:
    AEffect* record_;
};

struct ProgramSetup {
    baseline::Coefficients coefficients;
    bool boost;
    bool twoStages;
};

/// The coefficients the plug-in derives for a factory program at `sampleRate`.
ProgramSetup programSetup(int32_t program, float sampleRate);

}  // namespace benchsupport
