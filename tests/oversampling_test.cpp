// Oversampling: the half-band round trip is a pure delay of the latency it
// reports, the effect at factor 1 is the product's path bit for bit, the
// bypass is delayed to match, and at 8x and 16x the shaper's folding is gone
// to the depth the filters were designed for.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/effect_core.h"
#include "core/oversampler.h"
#include "tests/support/spectrum.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kFactors[] = {2, 4, 8, 16};

// Runs `input` through a switched-on core in blocks of `block`, both channels alike.
std::vector<float> run(EffectCore& core, const std::vector<float>& input, int32_t block, bool bypass = false) {
    std::vector<float> left(input), right(input);
    for (std::size_t at = 0; at < input.size(); at += static_cast<std::size_t>(block)) {
        const auto n = static_cast<int32_t>(std::min<std::size_t>(block, input.size() - at));
        float* io[2] = {left.data() + at, right.data() + at};
        if (bypass) {
            core.bypassBlock(io, io, n);
        } else {
            const Routing routing{};
            core.processBlock(routing, io, io, n, false);
        }
    }
    EXPECT_EQ(left, right);
    return left;
}

std::vector<float> sine(double frequency, double amplitude, int32_t frames) {
    std::vector<float> s(static_cast<std::size_t>(frames));
    for (int32_t i = 0; i < frames; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * i / kRate));
    return s;
}

TEST(Oversampler, RoundTripIsADelayOfTheReportedLatency) {
    Oversampler oversampler;
    ASSERT_TRUE(oversampler.allocate(256));
    EXPECT_EQ(Oversampler::latencyFor(1), 0);
    EXPECT_EQ(Oversampler::latencyFor(3), 0) << "no such factor: off";
    for (int32_t factor : kFactors) {
        SCOPED_TRACE(factor);
        oversampler.setFactor(factor);
        const int32_t latency = Oversampler::latencyFor(factor);
        EXPECT_GT(latency, 0);
        EXPECT_LT(latency, 128) << "a few milliseconds at most";
        // An impulse, then a 1 kHz sine, in blocks of odd sizes.
        std::vector<float> in(2048, 0.0f), out(2048, 0.0f), top(256 * Oversampler::kMaxFactor);
        in[100] = 1.0f;
        for (int32_t i = 1000; i < 2048; ++i) in[static_cast<std::size_t>(i)] = std::sin(2.0 * kPi * 1000.0 * i / kRate);
        for (int32_t at = 0; at < 2048;) {
            const int32_t n = std::min<int32_t>(at % 3 == 0 ? 255 : 37, 2048 - at);
            oversampler.up(0, in.data() + at, top.data(), n);
            oversampler.down(0, top.data(), out.data() + at, n);
            at += n;
        }
        int32_t peak = 0;
        for (int32_t i = 0; i < 900; ++i) {
            if (std::fabs(out[static_cast<std::size_t>(i)]) > std::fabs(out[static_cast<std::size_t>(peak)])) peak = i;
        }
        EXPECT_EQ(peak, 100 + latency);
        EXPECT_NEAR(out[static_cast<std::size_t>(peak)], 1.0f, 0.1f);
        // The band passes unchanged, delayed.
        double error = 0.0;
        for (int32_t i = 1400; i < 2048; ++i)
            error = std::max(error, std::fabs(double{out[static_cast<std::size_t>(i)]} - in[static_cast<std::size_t>(i - latency)]));
        EXPECT_LT(error, 1e-4);
    }
}

TEST(Oversampling, FactorOneIsTheProductsPathAndBypassFollowsTheLatency) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<float> input(6000);
    for (float& x : input) x = noise(random);

    EffectCore plain, offered;
    offered.offerOversampling();
    for (EffectCore* core : {&plain, &offered}) {
        core->loadProgram(9);
        ASSERT_TRUE(core->switchOn(kRate, 512));
    }
    EXPECT_EQ(run(plain, input, 512), run(offered, input, 512));
    EXPECT_EQ(offered.latency(), 0);

    plain.setOversampling(8);
    EXPECT_EQ(plain.oversampling(), 1) << "not offered: stays off";

    // Program 0 is clean: the oversampled path and the bypass are the same
    // delay, so switching between them does not shift the signal.
    EffectCore clean;
    clean.offerOversampling();
    ASSERT_TRUE(clean.switchOn(kRate, 512));
    for (int32_t factor : kFactors) {
        SCOPED_TRACE(factor);
        clean.setOversampling(factor);
        std::vector<float> impulse(3000, 0.0f);
        impulse[1000] = 0.5f;
        const std::vector<float> wet = run(clean, impulse, 300);
        const std::vector<float> dry = run(clean, impulse, 300, true);
        int32_t peak = 0;
        for (int32_t i = 0; i < 3000; ++i) {
            if (std::fabs(wet[static_cast<std::size_t>(i)]) > std::fabs(wet[static_cast<std::size_t>(peak)])) peak = i;
        }
        EXPECT_EQ(peak, 1000 + clean.latency());
        EXPECT_EQ(dry[static_cast<std::size_t>(1000 + clean.latency())], 0.5f);
        EXPECT_EQ(dry[999 + static_cast<std::size_t>(clean.latency())], 0.0f);
    }
}

TEST(Oversampling, FoldingIsGoneAtEightAndSixteenTimes) {
    // 5 kHz at -6 dBFS through program 9; 0.2 s measured after 1 s settling.
    const int32_t settle = 44100, length = 8820;
    const std::vector<float> input = sine(5000.0, 0.5, settle + length);
    const auto measure = [&](int32_t factor) {
        EffectCore core;
        core.offerOversampling();
        core.loadProgram(9);
        core.setOversampling(factor);
        EXPECT_TRUE(core.switchOn(kRate, 1024));
        const std::vector<float> out = run(core, input, 1024);
        return offHarmonicDb(out.data() + settle, 1, length, 5000.0, kRate);
    };
    const double off1 = measure(1), off8 = measure(8), off16 = measure(16);
    EXPECT_GT(off1, -40.0) << "at the host's rate the folding is loud";
    EXPECT_LT(off8, -84.0);
    EXPECT_LT(off16, -95.0);
}

}  // namespace
