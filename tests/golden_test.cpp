// Several seconds of audio per factory program, sample for sample against the
// reference model: the guard for every later change to the block path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "tests/support/instance.h"
#include "tests/support/reference_model.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// A deterministic test signal: two detuned partials with a swelling envelope,
// noise bursts, an over-range hit and a decaying tail into silence.
std::vector<float> testSignal(std::size_t frames, uint32_t seed, float sampleRate) {
    std::vector<float> out(frames);
    uint32_t state = seed;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = double(i) / sampleRate;
        state = state * 1664525u + 1013904223u;
        const double noise = (double(state >> 8) / double(1u << 24)) * 2.0 - 1.0;
        const double swell = 0.5 + 0.5 * std::sin(2.0 * kPi * 0.7 * t);
        double v = 0.6 * swell * std::sin(2.0 * kPi * 110.0 * t) + 0.25 * std::sin(2.0 * kPi * 331.0 * t);
        if (std::fmod(t, 0.5) < 0.05) v += 0.4 * noise;
        if (std::fmod(t, 1.3) < 0.01) v *= 2.5;
        const double fade = t > 2.5 ? std::exp(-(t - 2.5) * 40.0) : 1.0;
        out[i] = static_cast<float>(v * fade);
    }
    return out;
}

struct GoldenCase {
    int program;
    float sampleRate;
    int32_t blockSize;
};

class Golden : public testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, MatchesTheModelSampleForSample) {
    const auto [program, sampleRate, blockSize] = GetParam();
    const std::size_t frames = std::size_t(sampleRate * 3.0f);
    std::vector<float> left = testSignal(frames, 1u + program, sampleRate);
    std::vector<float> right = testSignal(frames, 77u + program, sampleRate);
    std::vector<float> expectLeft = left, expectRight = right;
    model::Effect reference(model::kFactoryPrograms[program], sampleRate);
    reference.process(expectLeft, expectRight);

    FakeHost host;
    Instance fx(host);
    fx.dispatch(effSetProgram, 0, program);
    fx.start(sampleRate, blockSize);
    fx.render(left, right, blockSize);

    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        if (left[i] != expectLeft[i] || right[i] != expectRight[i]) {
            if (mismatches++ < 5) {
                ADD_FAILURE() << "frame " << i << ": " << left[i] << "/" << right[i] << " expected "
                              << expectLeft[i] << "/" << expectRight[i];
            }
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(fx.effect().display.peakLeft, reference.peakLeft);
    EXPECT_EQ(fx.effect().display.peakRight, reference.peakRight);
    EXPECT_EQ(fx.effect().display.clipLevel, reference.clipLevel);
}

std::vector<GoldenCase> goldenCases() {
    std::vector<GoldenCase> cases;
    for (int p = 0; p < 10; ++p) cases.push_back({p, 44100.0f, 512});
    cases.push_back({9, 48000.0f, 64});
    cases.push_back({3, 96000.0f, 1});
    cases.push_back({6, 22050.0f, 4096});
    cases.push_back({1, 44100.0f, 63});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Programs, Golden, testing::ValuesIn(goldenCases()),
                         [](const testing::TestParamInfo<GoldenCase>& info) {
                             return "program" + std::to_string(info.param.program) + "_" +
                                    std::to_string(int(info.param.sampleRate)) + "Hz_block" +
                                    std::to_string(info.param.blockSize);
                         });

}  // namespace
