// The VST 3 process call against the effect core's direct path it wraps: the same
// music-like input, four automation points per block (two parameters moving
// a step each time), the block split at each point on both sides. Figures per
// stereo frame, as in the block rows.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <vector>

#include "bench/bench_support.h"
#include "core/effect_core.h"
#include "tests/vst3/host_objects.h"
#include "vst3/factory.h"

namespace {

using namespace vst3host;

constexpr double kRate = 44100.0;
constexpr int kPointsPerBlock = 4;
constexpr int kCycle = 16;  // automation patterns before they repeat

struct Automation {
    int32 offset;
    ParamID id;
    double value;
};

// Drive and Attack take turns, each point a new step.
std::vector<std::array<Automation, kPointsPerBlock>> automation(int32 block) {
    std::vector<std::array<Automation, kPointsPerBlock>> blocks(kCycle);
    for (int b = 0; b < kCycle; ++b) {
        for (int p = 0; p < kPointsPerBlock; ++p) {
            const int n = b * kPointsPerBlock + p;
            blocks[b][p] = {block * p / kPointsPerBlock + (p ? 3 : 0), static_cast<ParamID>(p % 2 ? 1 : 3),
                            static_cast<double>((n * 37) % 129) / 128.0};
        }
    }
    return blocks;
}

void BM_Vst3Process(benchmark::State& state) {
    const auto block = static_cast<int32>(state.range(0));
    IPluginFactory* factory = vst3face::pluginFactory();
    PClassInfo info{};
    factory->getClassInfo(0, &info);
    void* obj = nullptr;
    factory->createInstance(info.cid, IComponent::iid.bytes, &obj);
    auto* component = static_cast<IComponent*>(obj);
    component->initialize(nullptr);
    component->queryInterface(IAudioProcessor::iid.bytes, &obj);
    auto* processor = static_cast<IAudioProcessor*>(obj);
    ProcessSetup setup{kRealtime, kSample32, block, kRate};
    processor->setupProcessing(setup);
    component->setActive(true);
    processor->setProcessing(true);

    // The host fills its queues before the call; that is not ours to time.
    const auto points = automation(block);
    std::vector<ParameterChanges> changes(kCycle);
    for (int b = 0; b < kCycle; ++b) {
        for (const Automation& a : points[b]) changes[b].add(a.id, a.offset, a.value);
    }
    std::vector<float> outL(block), outR(block);
    StereoBlock host;
    host.outputs[0] = outL.data();
    host.outputs[1] = outR.data();
    host.data.numSamples = block;

    std::size_t position = 0;
    int cycle = 0;
    for (auto _ : state) {
        if (position + block > benchsupport::kFaceSignalFrames) position = 0;
        host.inputs[0] = const_cast<float*>(benchsupport::faceSignal(0).data() + position);
        host.inputs[1] = const_cast<float*>(benchsupport::faceSignal(1).data() + position);
        host.data.inputParameterChanges = &changes[cycle];
        processor->process(host.data);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
        position += block;
        cycle = (cycle + 1) % kCycle;
    }
    benchsupport::setFrameCounters(state, block);
    component->setActive(false);
    processor->release();
    component->terminate();
    component->release();
}

// The core as the face drives it: setParameter at each point, processBlock between.
void BM_CoreDirect(benchmark::State& state) {
    const auto block = static_cast<int32>(state.range(0));
    EffectCore core;
    core.switchOn(static_cast<float>(kRate), block);
    const auto points = automation(block);
    std::vector<float> outL(block), outR(block);
    std::size_t position = 0;
    int cycle = 0;
    for (auto _ : state) {
        if (position + block > benchsupport::kFaceSignalFrames) position = 0;
        int32 done = 0;
        const auto piece = [&](int32 to) {
            const float* inputs[2] = {benchsupport::faceSignal(0).data() + position + done, benchsupport::faceSignal(1).data() + position + done};
            float* outputs[2] = {outL.data() + done, outR.data() + done};
            if (to > done) core.processBlock(Routing{}, inputs, outputs, to - done, false);
            done = to;
        };
        for (const Automation& a : points[cycle]) {
            piece(a.offset);
            core.setParameter(static_cast<int32_t>(a.id), static_cast<float>(a.value), true, 0);
        }
        piece(block);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
        position += block;
        cycle = (cycle + 1) % kCycle;
    }
    benchsupport::setFrameCounters(state, block);
}

void blocks(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block"});
    b->Arg(512)->Arg(32);
}

BENCHMARK(BM_Vst3Process)->Apply(blocks);
BENCHMARK(BM_CoreDirect)->Apply(blocks);

}  // namespace
