// The CLAP process call against the effect core's direct path it wraps: the
// same music-like input and the same four parameter changes per block at the
// same offsets as BM_CoreDirect (vst3_bench.cpp), here as events. The face
// offers oversampling, which makes the core keep its input for the bypass
// delay even with oversampling off; BM_CoreDirectOffered is the direct path
// with that offer, the row the face is measured against.
// Figures per stereo frame, as in the block rows.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <vector>

#include "bench/bench_support.h"
#include "clap/factory.h"
#include "core/effect_core.h"
#include "platform/clap/extensions.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kPointsPerBlock = 4;
constexpr int kCycle = 16;  // event patterns before they repeat

// One block's events, made before the call: the host's work, not ours to time.
struct BlockEvents {
    std::array<clap_event_param_value_t, kPointsPerBlock> events{};
    clap_input_events_t list{this, [](const clap_input_events_t*) -> uint32_t { return kPointsPerBlock; },
                             [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* {
                                 return &static_cast<BlockEvents*>(l->ctx)->events[i].header;
                             }};
};

// Drive and Attack take turns, each event a new step: those of BM_CoreDirect.
std::vector<BlockEvents> automation(uint32_t block) {
    std::vector<BlockEvents> blocks(kCycle);
    for (int b = 0; b < kCycle; ++b) {
        for (int p = 0; p < kPointsPerBlock; ++p) {
            const int n = b * kPointsPerBlock + p;
            clap_event_param_value_t& e = blocks[b].events[p];
            e.header = {sizeof e, block * p / kPointsPerBlock + (p ? 3 : 0), CLAP_CORE_EVENT_SPACE_ID,
                        CLAP_EVENT_PARAM_VALUE, 0};
            e.param_id = p % 2 ? 1 : 3;
            e.note_id = -1;
            e.port_index = e.channel = e.key = -1;
            e.value = (n * 37) % 129;
        }
        blocks[b].list.ctx = &blocks[b];
    }
    return blocks;
}

void BM_ClapProcess(benchmark::State& state) {
    const auto block = static_cast<uint32_t>(state.range(0));
    static const clap_host_t host = {
        {1, 2, 2}, nullptr, "bench", "", "", "",
        [](const clap_host_t*, const char*) -> const void* { return nullptr; },
        [](const clap_host_t*) {}, [](const clap_host_t*) {}, [](const clap_host_t*) {},
    };
    const clap_plugin_factory_t* factory = clapface::pluginFactory();
    const clap_plugin_t* plugin = factory->create_plugin(factory, &host, clapface::kPluginId);
    plugin->init(plugin);
    plugin->activate(plugin, kRate, 1, block);
    plugin->start_processing(plugin);

    std::vector<BlockEvents> events = automation(block);
    const clap_output_events_t out{nullptr, [](const clap_output_events_t*, const clap_event_header_t*) { return true; }};
    std::vector<float> outL(block), outR(block);
    float* inputs[2] = {};
    float* outputs[2] = {outL.data(), outR.data()};
    clap_audio_buffer_t inBuffer{inputs, nullptr, 2, 0, 0};
    clap_audio_buffer_t outBuffer{outputs, nullptr, 2, 0, 0};
    clap_process_t call{-1, block, nullptr, &inBuffer, &outBuffer, 1, 1, nullptr, &out};

    std::size_t position = 0;
    int cycle = 0;
    for (auto _ : state) {
        if (position + block > benchsupport::kFaceSignalFrames) position = 0;
        inputs[0] = const_cast<float*>(benchsupport::faceSignal(0).data() + position);
        inputs[1] = const_cast<float*>(benchsupport::faceSignal(1).data() + position);
        call.in_events = &events[cycle].list;
        plugin->process(plugin, &call);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
        position += block;
        cycle = (cycle + 1) % kCycle;
    }
    benchsupport::setFrameCounters(state, block);
    plugin->stop_processing(plugin);
    plugin->deactivate(plugin);
    plugin->destroy(plugin);
}

// The core as the face drives it: oversampling offered (and off),
// setParameter at the events, processBlock between.
void BM_CoreDirectOffered(benchmark::State& state) {
    const auto block = static_cast<uint32_t>(state.range(0));
    EffectCore core;
    core.offerOversampling();
    core.switchOn(static_cast<float>(kRate), static_cast<int32_t>(block));
    const std::vector<BlockEvents> events = automation(block);
    std::vector<float> outL(block), outR(block);
    std::size_t position = 0;
    int cycle = 0;
    for (auto _ : state) {
        if (position + block > benchsupport::kFaceSignalFrames) position = 0;
        uint32_t done = 0;
        const auto piece = [&](uint32_t to) {
            const float* inputs[2] = {benchsupport::faceSignal(0).data() + position + done, benchsupport::faceSignal(1).data() + position + done};
            float* outputs[2] = {outL.data() + done, outR.data() + done};
            if (to > done) core.processBlock(Routing{}, inputs, outputs, static_cast<int32_t>(to - done), false);
            done = to;
        };
        for (const clap_event_param_value_t& e : events[cycle].events) {
            piece(e.header.time);
            const auto index = static_cast<int32_t>(e.param_id);
            core.setParameter(index, static_cast<float>(e.value / 128.0), true, 0);
        }
        piece(block);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
        position += block;
        cycle = (cycle + 1) % kCycle;
    }
    benchsupport::setFrameCounters(state, block);
}

BENCHMARK(BM_CoreDirectOffered)->ArgNames({"block"})->Arg(512)->Arg(32);
BENCHMARK(BM_ClapProcess)->ArgNames({"block"})->Arg(512)->Arg(32);

}  // namespace
