// The block path: gain stage, drive stages, routing and the switch-on state.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>
#include <xmmintrin.h>

#include "core/stage.h"
#include "tests/support/instance.h"
#include "tests/support/reference_model.h"

namespace {

using Buffer = std::vector<float>;

// Drive 128 and Attack 0: the worked first sample.
void setWorkedExample(const Instance& fx, bool boost) {
    fx.set(kIngain, 0.5f);
    fx.set(kAttack, 0.0f);
    fx.set(kDrive, 1.0f);
    fx.set(kTimesTwo, 0.0f);
    fx.set(kBoost, boost ? 1.0f : 0.0f);
}

struct Block {
    Buffer inLeft, inRight, outLeft, outRight;
    explicit Block(std::size_t n, float left = 0.0f, float right = 0.0f)
        : inLeft(n, left), inRight(n, right), outLeft(n, -7.0f), outRight(n, -7.0f) {}
    void replace(const Instance& fx) { replaceFrames(fx, int32_t(inLeft.size())); }
    void replaceFrames(const Instance& fx, int32_t frames) {
        float* in[2] = {inLeft.data(), inRight.data()};
        float* out[2] = {outLeft.data(), outRight.data()};
        fx.record()->processReplacing(fx.record(), in, out, frames);
    }
    void accumulate(const Instance& fx) {
        float* in[2] = {inLeft.data(), inRight.data()};
        float* out[2] = {outLeft.data(), outRight.data()};
        fx.record()->process(fx.record(), in, out, int32_t(inLeft.size()));
    }
};

TEST(SignalPath, WorkedFirstSample) {
    for (bool boost : {false, true}) {
        FakeHost host;
        Instance fx(host);
        setWorkedExample(fx, boost);
        fx.start();
        Block b(1, 0.5f, 0.5f);
        b.replace(fx);
        EXPECT_EQ(b.outLeft[0], boost ? 0.68359375f : 0.4921875f);
        EXPECT_EQ(b.outRight[0], b.outLeft[0]);
        const StageState& s = fx.effect().stage(0);
        EXPECT_EQ(s.envelope, 0.05f);
        EXPECT_EQ(s.weight, 0.5f);
        EXPECT_EQ(s.lastShaped, 0.875f);
    }
}

TEST(SignalPath, ShaperFoldsBackAboveHalfScale) {
    struct Case {
        float input, shaped;
    };
    for (const Case c : {Case{0.5f, 1.0f}, Case{1.0f, 0.0f}, Case{-0.5f, -1.0f}, Case{-1.0f, 0.0f},
                         Case{0.25f, 0.75f}, Case{3.0f, 0.0f}}) {
        StageState s;
        s.weight = 1.0f;  // with D = 1 and an empty envelope, k stays 1
        float sample = c.input;
        runStage(s, &sample, 1, false, StageCoefficients{0.0f, 0.0f, 1.0f});
        EXPECT_EQ(s.lastShaped, c.shaped) << c.input;
    }
}

TEST(SignalPath, ClipIndicatorAboveFullScaleOnly) {
    FakeHost host;
    Instance fx(host);
    fx.start();
    ShaperEffect& effect = fx.effect();
    Block exact(4, 1.0f, -1.0f);
    exact.replace(fx);
    EXPECT_EQ(effect.display.clipLevel, 0.0f);
    EXPECT_EQ(effect.display.peakLeft, 1.0f);
    Block over(1, 1.0000001f, 0.0f);
    over.replace(fx);
    EXPECT_EQ(effect.display.clipLevel, 1.0f);
    EXPECT_EQ(effect.display.peakLeft, 1.0000001f);
}

TEST(SignalPath, DriveZeroIsTransparentOnceTheWeightHasDecayed) {
    FakeHost host;
    Instance fx(host);
    fx.start();
    Block warmup(400, 0.0f, 0.0f);
    warmup.replace(fx);
    Block b(256);
    for (std::size_t i = 0; i < b.inLeft.size(); ++i) {
        b.inLeft[i] = std::sin(0.05f * i) * 0.9f;
        b.inRight[i] = -b.inLeft[i] * 0.5f;
    }
    b.replace(fx);
    for (std::size_t i = 0; i < b.inLeft.size(); ++i) {
        // The smoother's s + (y - s) may differ from y in the last bit.
        ASSERT_NEAR(b.outLeft[i], b.inLeft[i], 1e-7f) << i;
        ASSERT_NEAR(b.outRight[i], b.inRight[i], 1e-7f) << i;
    }
}

TEST(SignalPath, SwitchedOffLeavesOutputsUntouched) {
    FakeHost host;
    Instance fx(host);
    Block before(16, 0.5f, 0.5f);
    before.replace(fx);
    before.accumulate(fx);
    EXPECT_EQ(before.outLeft, Buffer(16, -7.0f));
    fx.start();
    fx.dispatch(effMainsChanged, 0, 0);
    before.replace(fx);
    EXPECT_EQ(before.outRight, Buffer(16, -7.0f));
}

TEST(SignalPath, EmptyBlockTouchesNothingButAsksThePins) {
    FakeHost host;
    Instance fx(host);
    fx.start();
    host.clear();
    Block b(4, 0.5f, 0.5f);
    b.replaceFrames(fx, 0);
    b.replaceFrames(fx, -5);
    EXPECT_EQ(b.outLeft, Buffer(4, -7.0f));
    EXPECT_EQ(host.count(audioMasterPinConnected), 8u);
}

// Pin answers: 0 means connected.
struct Routing {
    const char* name;
    intptr_t in0, in1, out0, out1;
    bool sameInput, sameOutput;
    float left, right;  // expected outputs; -7 = untouched
};

TEST(SignalPath, RoutingByPinsAndSharedBuffers) {
    // Drive 0 and unity gain: each output carries its input (0.25 left, -0.5 right).
    const Routing cases[] = {
        {"both connected", 0, 0, 0, 0, false, false, 0.25f, -0.5f},
        {"neither connected", 1, 1, 1, 1, false, false, 0.25f, -0.5f},
        {"only input 0", 0, 1, 0, 0, false, false, 0.25f, 0.25f},
        {"only input 1", 1, 0, 0, 0, false, false, -0.5f, -0.5f},
        {"only input 1, only output 0", 1, 0, 0, 1, false, false, -0.5f, -7.0f},
        {"only output 1", 0, 0, 1, 0, false, false, -7.0f, -0.5f},
        {"mono input buffer", 0, 0, 0, 0, true, false, 0.25f, 0.25f},
        {"one output buffer", 0, 0, 0, 0, false, true, 0.25f, 0.25f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        Instance fx(host);
        fx.start();
        host.onCall([&](const HostCall& call, intptr_t answer) -> intptr_t {
            if (call.opcode != audioMasterPinConnected) return answer;
            if (call.value == 0) return call.index == 0 ? c.in0 : c.in1;
            return call.index == 0 ? c.out0 : c.out1;
        });
        Block b(8, 0.25f, -0.5f);
        float* in[2] = {b.inLeft.data(), c.sameInput ? b.inLeft.data() : b.inRight.data()};
        float* out[2] = {b.outLeft.data(), c.sameOutput ? b.outLeft.data() : b.outRight.data()};
        for (int i = 0; i < 400; i += 8) fx.record()->processReplacing(fx.record(), in, out, 8);
        EXPECT_EQ(b.outLeft.back(), c.left);
        EXPECT_EQ(b.outRight.back(), c.sameOutput ? -7.0f : c.right);
    }
}

TEST(SignalPath, AccumulateAddsAndReplaceOverwrites) {
    FakeHost host;
    Instance fx(host);
    fx.start();
    Block warmup(400);
    warmup.replace(fx);
    Block b(8, 0.25f, 0.5f);
    std::fill(b.outLeft.begin(), b.outLeft.end(), 1.0f);
    std::fill(b.outRight.begin(), b.outRight.end(), 1.0f);
    b.accumulate(fx);
    EXPECT_EQ(b.outLeft[7], 1.25f);
    EXPECT_EQ(b.outRight[7], 1.5f);
    b.replace(fx);
    EXPECT_EQ(b.outLeft[7], 0.25f);
    EXPECT_EQ(b.outRight[7], 0.5f);
}

TEST(SignalPath, TimesTwoResumesTheSecondStage) {
    FakeHost host;
    Instance fx(host);
    fx.dispatch(effSetProgram, 0, 9);
    fx.start();
    Block b(64, 0.3f, 0.3f);
    b.replace(fx);
    const StageState before = fx.effect().stage(2);
    EXPECT_NE(before.envelope, 0.0f);
    fx.set(kTimesTwo, 0.0f);
    b.replace(fx);
    EXPECT_EQ(fx.effect().stage(2).envelope, before.envelope);
    EXPECT_EQ(fx.effect().stage(2).smoothed, before.smoothed);
    fx.set(kTimesTwo, 1.0f);
    b.replace(fx);
    EXPECT_NE(fx.effect().stage(2).envelope, before.envelope);
}

TEST(SignalPath, BlocksLongerThanAnnouncedMatchTheModel) {
    FakeHost host;
    Instance fx(host);
    fx.dispatch(effSetProgram, 0, 6);
    fx.start(44100.0f, 64);  // work buffers of 664 frames
    const std::size_t n = 5000;
    Buffer left(n), right(n);
    for (std::size_t i = 0; i < n; ++i) {
        left[i] = 0.8f * std::sin(0.01f * i);
        right[i] = 0.6f * std::sin(0.013f * i + 1.0f);
    }
    Buffer expectLeft = left, expectRight = right;
    model::Effect reference(model::kFactoryPrograms[6], 44100.0f);
    reference.process(expectLeft, expectRight);
    fx.render(left, right, int32_t(n));
    EXPECT_EQ(left, expectLeft);
    EXPECT_EQ(right, expectRight);
}

TEST(SignalPath, RepeatedSwitchOnStartsFresh) {
    FakeHost host;
    Instance fx(host);
    fx.dispatch(effSetProgram, 0, 9);
    fx.start();
    Block b(100, 0.7f, 0.7f);
    b.replace(fx);
    fx.dispatch(effSetBlockSize, 0, 2048);
    fx.dispatch(effMainsChanged, 0, 1);  // no switch-off in between
    EXPECT_EQ(fx.effect().stage(0).envelope, 0.0f);
    Block again(3000, 0.7f, 0.7f);
    again.replace(fx);
    EXPECT_TRUE(std::isfinite(again.outLeft.back()));
}

TEST(SignalPath, BadSamplesNeverPoisonTheState) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {nan, inf, -inf, 1e30f}) {
        FakeHost host;
        Instance fx(host);
        fx.dispatch(effSetProgram, 0, 9);
        fx.start();
        Block b(64, 0.3f, -0.3f);
        b.inLeft[10] = bad;
        b.inRight[20] = bad;
        b.replace(fx);
        for (float v : b.outLeft) ASSERT_TRUE(std::isfinite(v)) << bad;
        Block next(512, 0.3f, -0.3f);
        next.replace(fx);
        for (float v : next.outRight) ASSERT_TRUE(std::isfinite(v)) << bad;
        EXPECT_NE(next.outLeft.back(), 0.0f);
    }
}

TEST(SignalPath, DenormalInputGivesSilenceAndTheFloatModeIsRestored) {
    FakeHost host;
    Instance fx(host);
    fx.dispatch(effSetProgram, 0, 9);
    fx.start();
    const unsigned modeBefore = _mm_getcsr();
    Block b(256, 1e-40f, -1e-42f);
    b.replace(fx);
    EXPECT_EQ(_mm_getcsr(), modeBefore);
    EXPECT_EQ(b.outLeft, Buffer(256, 0.0f));
    EXPECT_EQ(b.outRight, Buffer(256, 0.0f));
}

}  // namespace
