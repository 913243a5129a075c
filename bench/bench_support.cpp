#include "bench/bench_support.h"

#include <array>
#include <cmath>

#include <stdexcept>

#include "engine/shaper_effect.h"
#include "host/effect_base.h"
#include "product/shaper_effect_edit.h"

namespace benchsupport {
namespace {

// A host that answers the version handshake and reports every pin connected (0).
intptr_t quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

}  // namespace

PluginInstance::PluginInstance(int32_t program, float sampleRate, int32_t blockSize)
    : record_(createEffectInstance(quietHost)) {
    if (!record_) throw std::runtime_error("no instance");
    record_->dispatcher(record_, effSetProgram, 0, program, nullptr, 0.0f);
    record_->dispatcher(record_, effSetSampleRate, 0, 0, nullptr, sampleRate);
    record_->dispatcher(record_, effSetBlockSize, 0, blockSize, nullptr, 0.0f);
    record_->dispatcher(record_, effMainsChanged, 0, 1, nullptr, 0.0f);
}

PluginInstance::~PluginInstance() {
    record_->dispatcher(record_, effClose, 0, 0, nullptr, 0.0f);
}

ProgramSetup programSetup(int32_t program, float sampleRate) {
    PluginInstance instance(program, sampleRate, 512);
    const auto& effect = *static_cast<ShaperEffect*>(EffectBase::fromRecord(instance.record()));
    ProgramSetup setup{};
    setup.coefficients = {effect.inputGain, effect.attackCoef, effect.releaseCoef, effect.driveAmount,
                          effect.flushThreshold};
    setup.boost = static_cast<int32_t>(effect.rawValue[kBoost]) != 0;
    setup.twoStages = static_cast<int32_t>(effect.rawValue[kTimesTwo]) == 1;
    return setup;
}

const std::vector<float>& faceSignal(int channel) {
    static const std::array<std::vector<float>, 2> music = [] {
        constexpr double kRate = 44100.0;
        std::array<std::vector<float>, 2> out;
        for (int c = 0; c < 2; ++c) {
            out[c].resize(kFaceSignalFrames);
            for (std::size_t i = 0; i < kFaceSignalFrames; ++i) {
                const double t = double(i) / kRate;
                out[c][i] = float(0.6 * std::sin(2.0 * M_PI * (110.0 + 3 * c) * t) * (0.6 + 0.4 * std::sin(5.0 * t)) +
                                  0.2 * std::sin(2.0 * M_PI * 1661.0 * t));
            }
        }
        return out;
    }();
    return music[channel];
}

void setFrameCounters(benchmark::State& state, int64_t frames) {
    state.counters["ns/frame"] = benchmark::Counter(static_cast<double>(frames),
                                                    benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(frames) / 44100.0, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace benchsupport
