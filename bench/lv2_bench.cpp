// The LV2 plug-in's run() against the effect core's direct path it wraps: the
// same music-like input, Drive moving one step every block (a host's
// automation reaches an LV2 plug-in as a control port value per run), program
// 9's other values. Figures per stereo frame, as in the block rows.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <vector>

#include "bench/bench_support.h"
#include "core/effect_core.h"
#include "core/programs.h"
#include "lv2/plugin.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kProgram = 9;

// Drive's step for block n.
float driveStep(int n) { return static_cast<float>((n * 37) % 129); }

void BM_Lv2Run(benchmark::State& state) {
    const auto block = static_cast<int32_t>(state.range(0));
    lv2face::Plugin plugin(kRate);
    std::array<float, lv2face::kPortCount> controls{};
    for (int32_t p = 0; p < lv2face::kPortCount; ++p) {
        const lv2face::Port& port = lv2face::kPorts[p];
        if (port.kind == lv2face::PortKind::kControl && port.parameter >= 0)
            controls[p] = lv2face::portValue(*port.row, factoryRaw(kProgram, port.parameter));
        if (port.kind == lv2face::PortKind::kEnabled) controls[p] = 1.0f;
        if (port.kind != lv2face::PortKind::kAudioIn && port.kind != lv2face::PortKind::kAudioOut)
            plugin.connect(static_cast<uint32_t>(p), &controls[p]);
    }
    const int32_t drive = lv2face::portOfParameter(kDrive);
    plugin.activate();
    std::vector<float> outL(block), outR(block);
    plugin.connect(2, outL.data());
    plugin.connect(3, outR.data());

    std::size_t position = 0;
    int n = 0;
    for (auto _ : state) {
        if (position + block > benchsupport::kFaceSignalFrames) position = 0;
        plugin.connect(0, const_cast<float*>(benchsupport::faceSignal(0).data() + position));
        plugin.connect(1, const_cast<float*>(benchsupport::faceSignal(1).data() + position));
        controls[drive] = lv2face::portValue(kParameters[kDrive], driveStep(n++));
        plugin.run(static_cast<uint32_t>(block));
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
        position += block;
    }
    benchsupport::setFrameCounters(state, block);
    plugin.deactivate();
}

// The core as the face drives it: setParameter, then processBlock.
void BM_Lv2CoreDirect(benchmark::State& state) {
    const auto block = static_cast<int32_t>(state.range(0));
    EffectCore core;
    // As the face has it: oversampling offered (and Off), so the bypass's delay line is kept.
    core.offerOversampling();
    core.switchOn(static_cast<float>(kRate), block);
    core.loadProgram(kProgram);
    std::vector<float> outL(block), outR(block);
    std::size_t position = 0;
    int n = 0;
    for (auto _ : state) {
        if (position + block > benchsupport::kFaceSignalFrames) position = 0;
        core.setParameter(kDrive, driveStep(n++) / kRawMaximum[kDrive], true, -1);
        const float* inputs[2] = {benchsupport::faceSignal(0).data() + position, benchsupport::faceSignal(1).data() + position};
        float* outputs[2] = {outL.data(), outR.data()};
        core.processBlock(Routing{}, inputs, outputs, block, false);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
        position += block;
    }
    benchsupport::setFrameCounters(state, block);
}

void blocks(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block"});
    b->Arg(512)->Arg(32);
}

BENCHMARK(BM_Lv2Run)->Apply(blocks);
BENCHMARK(BM_Lv2CoreDirect)->Apply(blocks);

}  // namespace
