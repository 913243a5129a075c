// Oversampling's cost: program 9 on a music-like signal through the effect
// core at each factor, per stereo frame at the host's rate; and the filters
// alone (up and back down, no drive stages) for their share.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/bench_support.h"
#include "core/effect_core.h"
#include "core/oversampler.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr int32_t kBlock = 512;

std::vector<float> signal() {
    std::vector<float> out(1 << 15);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / kRate;
        out[i] = float(0.5 * std::sin(2.0 * M_PI * 110.0 * t) + 0.2 * std::sin(2.0 * M_PI * 1661.0 * t));
    }
    return out;
}

void BM_Oversampled(benchmark::State& state) {
    const auto factor = static_cast<int32_t>(state.range(0));
    static const std::vector<float> input = signal();
    EffectCore core;
    core.offerOversampling();
    core.loadProgram(9);
    core.setOversampling(factor);
    core.switchOn(kRate, kBlock);
    std::vector<float> left(kBlock), right(kBlock);
    std::size_t at = 0;
    for (auto _ : state) {
        std::copy_n(input.begin() + at, kBlock, left.begin());
        std::copy_n(input.begin() + at, kBlock, right.begin());
        float* io[2] = {left.data(), right.data()};
        core.processBlock(Routing{}, io, io, kBlock, false);
        benchmark::DoNotOptimize(left.data());
        at = (at + kBlock) % (input.size() - kBlock);
    }
    benchsupport::setFrameCounters(state, kBlock);
}

void BM_OversamplerFilters(benchmark::State& state) {
    const auto factor = static_cast<int32_t>(state.range(0));
    static const std::vector<float> input = signal();
    Oversampler oversampler;
    oversampler.allocate(kBlock);
    oversampler.setFactor(factor);
    std::vector<float> top(static_cast<std::size_t>(kBlock) * Oversampler::kMaxFactor), out(kBlock);
    std::size_t at = 0;
    for (auto _ : state) {
        for (int32_t ch = 0; ch < 2; ++ch) {
            oversampler.up(ch, input.data() + at, top.data(), kBlock);
            oversampler.down(ch, top.data(), out.data(), kBlock);
        }
        benchmark::DoNotOptimize(out.data());
        at = (at + kBlock) % (input.size() - kBlock);
    }
    benchsupport::setFrameCounters(state, kBlock);
}

BENCHMARK(BM_Oversampled)->ArgName("factor")->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Arg(16);
BENCHMARK(BM_OversamplerFilters)->ArgName("factor")->Arg(2)->Arg(4)->Arg(8)->Arg(16);

}  // namespace
