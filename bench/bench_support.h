// What the benchmarks share: an instance driven through its AEffect record,
// the coefficient set of a factory program, and the closing summary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

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

/// The faces' benchmarks' input: a music-like stereo loop of
/// kFaceSignalFrames at 44.1 kHz (two detuned partials under a swell and a
/// high voice), one channel of it.
constexpr std::size_t kFaceSignalFrames = 1 << 16;
const std::vector<float>& faceSignal(int channel);

/// The rows' counters for blocks of `frames` at 44.1 kHz: ns/frame, and
/// realtime (seconds of audio per second of processing).
void setFrameCounters(benchmark::State& state, int64_t frames);

/// The coefficients the plug-in derives for a factory program at `sampleRate`.
ProgramSetup programSetup(int32_t program, float sampleRate);

}  // namespace benchsupport
