// The plug-in in process: any block size, in place, changes between runs,
// the enabled port, the meter ports, the sample rate, and no allocation in
// run(). The reference is the effect core's block path run on the whole
// signal at once, the path the VST 2 face runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/oversampler.h"
#include "core/routing.h"
#include "lv2/plugin.h"
#include "tests/support/allocation_counter.h"

namespace {

using namespace lv2face;

constexpr int32_t kFrames = 9000;

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(int32_t frames = kFrames) : left(frames), right(frames) {}
    bool operator==(const Stereo& other) const { return left == other.left && right == other.right; }
};

// A decaying chord with a few samples beyond full scale, so both stages and
// the clip meter have something to do.
Stereo testSignal() {
    Stereo s;
    for (int32_t i = 0; i < kFrames; ++i) {
        const float t = static_cast<float>(i) / 44100.0f;
        s.left[i] = 0.8f * std::sin(6.2831853f * 220.0f * t) * std::exp(-3.0f * t);
        s.right[i] = 0.6f * std::sin(6.2831853f * 331.0f * t) + (i % 3001 == 0 ? 0.9f : 0.0f);
    }
    return s;
}

/// The core's own path: `changes` (frame, parameter, raw) applied between pieces.
struct Change {
    int32_t frame;
    int32_t parameter;
    float raw;
};
Stereo corePath(const Stereo& in, const std::vector<Change>& changes, double rate = 44100.0) {
    EffectCore core;
    core.switchOn(static_cast<float>(rate), kFrames);
    Stereo out;
    int32_t at = 0;
    auto runTo = [&](int32_t end) {
        if (end <= at) return;
        const float* inputs[2] = {in.left.data() + at, in.right.data() + at};
        float* outputs[2] = {out.left.data() + at, out.right.data() + at};
        core.processBlock(Routing{}, inputs, outputs, end - at, false);
        at = end;
    };
    for (const Change& change : changes) {
        runTo(change.frame);
        core.setParameter(change.parameter, change.raw / kRawMaximum[change.parameter], true, 0);
    }
    runTo(kFrames);
    return out;
}

class PluginRun {
public:
    explicit PluginRun(double rate = 44100.0) : plugin(rate) {
        for (int32_t p = 0; p < kPortCount; ++p) {
            controls[p] = kPorts[p].row ? portValue(*kPorts[p].row, kPorts[p].row->defaultRaw) : 0.0f;
            if (kPorts[p].kind == PortKind::kEnabled) controls[p] = 1.0f;
            if (kPorts[p].kind != PortKind::kAudioIn && kPorts[p].kind != PortKind::kAudioOut)
                plugin.connect(static_cast<uint32_t>(p), &controls[p]);
        }
        plugin.activate();
    }
    float& control(int32_t parameter) { return controls[portOfParameter(parameter)]; }
    float& port(int32_t p) { return controls[p]; }

    /// Runs `frames` of `in` from `at` into `out` (or in place when null).
    void run(Stereo& in, Stereo* out, int32_t at, int32_t frames) {
        float* outputs[2] = {(out ? out->left.data() : in.left.data()) + at,
                             (out ? out->right.data() : in.right.data()) + at};
        plugin.connect(0, in.left.data() + at);
        plugin.connect(1, in.right.data() + at);
        plugin.connect(2, outputs[0]);
        plugin.connect(3, outputs[1]);
        plugin.run(static_cast<uint32_t>(frames));
    }
    Stereo runInBlocks(Stereo in, int32_t block) {
        Stereo out;
        for (int32_t at = 0; at < kFrames; at += block) run(in, &out, at, std::min(block, kFrames - at));
        return out;
    }

    Plugin plugin;
    std::array<float, kPortCount> controls{};
};

TEST(Lv2Plugin, EveryBlockSizeGivesTheCoresSamples) {
    const Stereo in = testSignal();
    const Stereo expected = corePath(in, {{0, kDrive, 128.0f}, {0, kTimesTwo, 1.0f}});
    for (int32_t block : {1, 3, 32, 512, 4096, 5000, kFrames}) {
        PluginRun run;
        run.control(kDrive) = 100.0f;
        run.control(kTimesTwo) = 1.0f;
        EXPECT_TRUE(run.runInBlocks(in, block) == expected) << "block " << block;
    }
    // In place, as hosts may connect one buffer as input and output.
    PluginRun run;
    run.control(kDrive) = 100.0f;
    run.control(kTimesTwo) = 1.0f;
    Stereo buffer = in;
    for (int32_t at = 0; at < kFrames; at += 256) run.run(buffer, nullptr, at, std::min(256, kFrames - at));
    EXPECT_TRUE(buffer == expected);
}

TEST(Lv2Plugin, AChangeTakesEffectAtTheRunItArrivesIn) {
    const Stereo in = testSignal();
    const Stereo expected =
        corePath(in, {{0, kDrive, 40.0f}, {1000, kDrive, 128.0f}, {1000, kIngain, 90.0f}, {4000, kBoost, 1.0f}});
    PluginRun run;
    Stereo source = in, out;
    run.control(kDrive) = portValue(kParameters[kDrive], 40.0f);
    run.run(source, &out, 0, 1000);
    run.control(kDrive) = 100.0f;
    run.control(kIngain) = portValue(kParameters[kIngain], 90.0f);
    run.run(source, &out, 1000, 3000);
    run.control(kBoost) = 1.0f;
    run.run(source, &out, 4000, kFrames - 4000);
    EXPECT_TRUE(out == expected);
}

TEST(Lv2Plugin, DisabledPassesTheInputBitForBitAndHoldsTheEffect) {
    const int32_t enabled = [] {
        for (int32_t p = 0; p < kPortCount; ++p)
            if (kPorts[p].kind == PortKind::kEnabled) return p;
        return -1;
    }();
    ASSERT_GE(enabled, 0);
    Stereo in = testSignal(), out;
    PluginRun run;
    run.control(kDrive) = 100.0f;
    run.port(enabled) = 0.0f;
    run.run(in, &out, 0, 2000);
    EXPECT_TRUE(std::equal(in.left.begin(), in.left.begin() + 2000, out.left.begin()));
    EXPECT_TRUE(std::equal(in.right.begin(), in.right.begin() + 2000, out.right.begin()));
    // Enabled again, the effect goes on from where it stood: as if the
    // passed-through frames had never come.
    run.port(enabled) = 1.0f;
    run.run(in, &out, 2000, 3000);
    Stereo shifted;
    std::copy(in.left.begin() + 2000, in.left.begin() + 5000, shifted.left.begin());
    std::copy(in.right.begin() + 2000, in.right.begin() + 5000, shifted.right.begin());
    const Stereo expected = corePath(shifted, {{0, kDrive, 128.0f}});
    EXPECT_TRUE(std::equal(out.left.begin() + 2000, out.left.begin() + 5000, expected.left.begin()));
    EXPECT_TRUE(std::equal(out.right.begin() + 2000, out.right.begin() + 5000, expected.right.begin()));
}

// A UI reads the meter ports at its own pace: every peak stays there for at
// least one window (50 ms), then falls away.
TEST(Lv2Plugin, MeterPortsHoldEachPeakForAWindow) {
    PluginRun run;
    const int32_t left = portOfMeter(Meter::kPeakLeft), right = portOfMeter(Meter::kPeakRight),
                  clip = portOfMeter(Meter::kClip);
    Stereo signal(64);
    Stereo out(64);
    signal.left[10] = 0.5f;  // gained by 1 at Ingain's default
    signal.right[20] = -1.5f;
    run.run(signal, &out, 0, 64);
    EXPECT_EQ(run.port(left), 0.5f);
    EXPECT_EQ(run.port(right), 1.5f);
    EXPECT_EQ(run.port(clip), 1.0f);

    Stereo silence(64);
    // 2205 frames make a window at 44.1 kHz: the peak stays through the next one.
    for (int32_t frames = 64; frames < 2 * 2205 - 64; frames += 64) {
        run.run(silence, &out, 0, 64);
        ASSERT_EQ(run.port(left), 0.5f) << "after " << frames;
        ASSERT_EQ(run.port(clip), 1.0f);
    }
    for (int i = 0; i < 3; ++i) run.run(silence, &out, 0, 64);
    EXPECT_EQ(run.port(left), 0.0f);
    EXPECT_EQ(run.port(right), 0.0f);
    EXPECT_EQ(run.port(clip), 0.0f);
}

int32_t portOfKind(PortKind kind, ParamKind rowKind = ParamKind::kKnob) {
    for (int32_t p = 0; p < kPortCount; ++p) {
        if (kPorts[p].kind == kind && (kind != PortKind::kControl || kPorts[p].row->kind == rowKind)) return p;
    }
    return -1;
}

// The Oversampling row reaches LV2 as a list port: its entry sets the core's
// factor at any block size, the latency port reports the delay, and the
// bypass is delayed to match.
TEST(Lv2Plugin, OversamplingPortSetsTheFactorReportsTheLatencyAndDelaysTheBypass) {
    const int32_t oversampling = portOfKind(PortKind::kControl, ParamKind::kOversampling);
    const int32_t latency = portOfKind(PortKind::kLatency);
    const int32_t enabled = portOfKind(PortKind::kEnabled);
    ASSERT_GE(oversampling, 0);
    ASSERT_GE(latency, 0);
    const Stereo in = testSignal();
    Stereo outputs[2];
    for (int32_t block : {1, 512}) {
        PluginRun run;
        run.control(kDrive) = 100.0f;
        run.port(oversampling) = 3.0f;  // Off, 2x, 4x, 8x
        outputs[block == 1] = run.runInBlocks(in, block);
        EXPECT_EQ(run.plugin.core().oversampling(), 8);
        EXPECT_EQ(run.port(latency), static_cast<float>(Oversampler::latencyFor(8)));
    }
    EXPECT_TRUE(outputs[0] == outputs[1]) << "the oversampled path at one frame and at 512";
    EXPECT_FALSE(outputs[0] == corePath(in, {{0, kDrive, 128.0f}})) << "8x is not the product's path";

    // Processed for 6000 frames, then bypassed: the bypass goes on from the
    // input the effect last took in, delayed by the latency, whatever the
    // blocks were (one longer than the delay line included).
    const int32_t delay = Oversampler::latencyFor(16);
    ASSERT_GT(delay, 0);
    for (int32_t block : {1, 256, 6000}) {
        PluginRun run;
        run.port(oversampling) = 4.0f;
        Stereo source = in, out;
        for (int32_t at = 0; at < 6000; at += block) run.run(source, &out, at, std::min(block, 6000 - at));
        run.port(enabled) = 0.0f;
        for (int32_t at = 6000; at < kFrames; at += block) run.run(source, &out, at, std::min(block, kFrames - at));
        EXPECT_TRUE(std::equal(in.left.begin() + 6000 - delay, in.left.end() - delay, out.left.begin() + 6000))
            << "block " << block;
        EXPECT_TRUE(std::equal(in.right.begin() + 6000 - delay, in.right.end() - delay, out.right.begin() + 6000))
            << "block " << block;
    }
}

TEST(Lv2Plugin, RunsAtTheSampleRateItWasMadeFor) {
    const Stereo in = testSignal();
    PluginRun run(96000.0);
    run.control(kDrive) = 100.0f;
    EXPECT_TRUE(run.runInBlocks(in, 128) == corePath(in, {{0, kDrive, 128.0f}}, 96000.0));
    EXPECT_FLOAT_EQ(run.plugin.core().rateScaleValue(), 44100.0f / 96000.0f);
}

TEST(Lv2Plugin, RunAllocatesNothing) {
    if (!allocations::counting()) GTEST_SKIP() << "allocations are not counted in this build";
    Stereo in = testSignal(), out;
    PluginRun run;
    run.run(in, &out, 0, 512);
    const std::uint64_t before = allocations::onThisThread();
    const int32_t oversampling = portOfKind(PortKind::kControl, ParamKind::kOversampling);
    for (int32_t at = 512; at + 700 < kFrames; at += 700) {
        run.control(kDrive) = static_cast<float>(at % 100);
        run.control(kBoost) = static_cast<float>(at % 2);
        run.port(oversampling) = static_cast<float>(at % 5);
        run.run(in, &out, at, 700);
    }
    EXPECT_EQ(allocations::onThisThread(), before);
}

}  // namespace
