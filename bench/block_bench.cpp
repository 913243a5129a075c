// The block path against the plain baseline, on music-like input, a decaying
// tail into denormal range and exact silence. Every figure is per stereo frame;
// "realtime" is how many seconds of 44.1 kHz audio one second of processing
// gets through.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "bench/baseline_block.h"
#include "bench/bench_support.h"
#include "engine/shaper_effect.h"
#include "host/effect_base.h"

namespace {

constexpr std::size_t kSignalFrames = 1 << 17;  // about 3 s, looped
constexpr float kRate = 44100.0f;

// Two detuned partials under a swell, a third voice, noise bursts and an
// occasional hit past full scale: enough movement to make the envelope swing.
std::vector<float> musicLike(uint32_t seed) {
    std::vector<float> out(kSignalFrames);
    uint32_t noise = seed;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / kRate;
        noise = noise * 1664525u + 1013904223u;
        const double n = double(noise >> 8) / double(1u << 23) - 1.0;
        const double swell = 0.55 + 0.45 * std::sin(2.0 * M_PI * 0.9 * t);
        double v = 0.5 * swell * std::sin(2.0 * M_PI * (110.0 + seed) * t) +
                   0.2 * std::sin(2.0 * M_PI * 277.2 * t) + 0.1 * std::sin(2.0 * M_PI * 1661.0 * t);
        if (std::fmod(t, 0.37) < 0.04) v += 0.3 * n;
        if (std::fmod(t, 1.1) < 0.005) v *= 2.2;
        out[i] = float(v);
    }
    return out;
}

// A sine whose level falls from 1e-30 to below the smallest denormal: every
// sample is under the input flush, about half of them denormal.
std::vector<float> denormalTail(double phase) {
    std::vector<float> out(kSignalFrames);
    const double decay = std::log(1e-30 / 1e-46) / double(kSignalFrames);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = float(1e-30 * std::exp(-decay * double(i)) * std::sin(0.031 * double(i) + phase));
    }
    return out;
}

enum class Input { Music, Tail, Silence };

struct Signal {
    std::vector<float> left, right;
};

const Signal& signalFor(Input input) {
    static const Signal music{musicLike(1), musicLike(7)};
    static const Signal tail{denormalTail(0.0), denormalTail(1.3)};
    static const Signal silence{std::vector<float>(kSignalFrames, 0.0f),
                                std::vector<float>(kSignalFrames, 0.0f)};
    switch (input) {
        case Input::Tail:
            return tail;
        case Input::Silence:
            return silence;
        case Input::Music:
            break;
    }
    return music;
}

void setCounters(benchmark::State& state, int32_t blockSize) {
    const double frames = double(blockSize);
    // Seconds per frame; the console prints it with an SI prefix ("15.2ns").
    state.counters["ns/frame"] = benchmark::Counter(
        frames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["realtime"] =
        benchmark::Counter(frames / kRate, benchmark::Counter::kIsIterationInvariantRate);
}

// Runs `process(in, out, frames)` block after block through the looped signal.
template <typename Process>
void runBlocks(benchmark::State& state, Input input, int32_t blockSize, Process&& process) {
    const Signal& signal = signalFor(input);
    std::vector<float> outLeft(blockSize), outRight(blockSize);
    float* outputs[2] = {outLeft.data(), outRight.data()};
    std::size_t position = 0;
    for (auto _ : state) {
        if (position + blockSize > kSignalFrames) position = 0;
        float* inputs[2] = {const_cast<float*>(signal.left.data() + position),
                            const_cast<float*>(signal.right.data() + position)};
        process(inputs, outputs, blockSize);
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::DoNotOptimize(outRight.data());
        benchmark::ClobberMemory();
        position += blockSize;
    }
    setCounters(state, blockSize);
}

void pluginBlock(benchmark::State& state, Input input) {
    const auto program = int32_t(state.range(0));
    const auto blockSize = int32_t(state.range(1));
    benchsupport::PluginInstance fx(program, kRate, blockSize);
    runBlocks(state, input, blockSize, [&](float** in, float** out, int32_t frames) {
        fx.record()->processReplacing(fx.record(), in, out, frames);
    });
}

void baselineBlock(benchmark::State& state, Input input) {
    const auto program = int32_t(state.range(0));
    const auto blockSize = int32_t(state.range(1));
    const benchsupport::ProgramSetup setup = benchsupport::programSetup(program, kRate);
    baseline::Block block(setup.coefficients, setup.boost, setup.twoStages, blockSize);
    runBlocks(state, input, blockSize,
              [&](float** in, float** out, int32_t frames) { block.process(in, out, frames); });
}

void BM_Plugin(benchmark::State& state) {
    pluginBlock(state, Input::Music);
}
void BM_Baseline(benchmark::State& state) {
    baselineBlock(state, Input::Music);
}
void BM_PluginTail(benchmark::State& state) {
    pluginBlock(state, Input::Tail);
}
void BM_PluginSilence(benchmark::State& state) {
    pluginBlock(state, Input::Silence);
}
void BM_BaselineTail(benchmark::State& state) {
    baselineBlock(state, Input::Tail);
}
void BM_BaselineSilence(benchmark::State& state) {
    baselineBlock(state, Input::Silence);
}

void programsAndBlocks(benchmark::internal::Benchmark* b) {
    b->ArgNames({"program", "block"});
    for (int64_t program : {0, 3, 9}) {
        for (int64_t block : {64, 512, 4096}) b->Args({program, block});
    }
}

void quietInputs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"program", "block"});
    for (int64_t program : {0, 9}) b->Args({program, 512});
}

BENCHMARK(BM_Plugin)->Apply(programsAndBlocks);
BENCHMARK(BM_Baseline)->Apply(programsAndBlocks);
BENCHMARK(BM_PluginTail)->Apply(quietInputs);
BENCHMARK(BM_PluginSilence)->Apply(quietInputs);
BENCHMARK(BM_BaselineTail)->Apply(quietInputs);
BENCHMARK(BM_BaselineSilence)->Apply(quietInputs);

}  // namespace
