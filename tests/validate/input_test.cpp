// What hosts feed in that they should not: subnormals, over-range, NaN and
// infinities, alone or in runs. The output must stay clean and the effect
// must come back once the bad samples stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "tests/validate/validation_host.h"

namespace {

// Not a multiple of 4, so that bad samples reach both the four-lane body of
// the block path and its scalar tail.
constexpr int32_t kBlock = 259;
constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct BadSample {
    const char* name;
    float value;
    // A sample the effect must treat it exactly like, where there is one: a
    // subnormal or a NaN is silence, an infinity is a huge over-range value.
    std::optional<float> sameAs;
};

const BadSample kBadSamples[] = {
    {"smallest subnormal", std::numeric_limits<float>::denorm_min(), 0.0f},
    {"negative subnormal", -1.0e-39f, 0.0f},
    {"largest subnormal", std::nextafter(std::numeric_limits<float>::min(), 0.0f), 0.0f},
    {"full scale", 1.0f, std::nullopt},
    {"negative full scale", -1.0f, std::nullopt},
    {"over range", 2.0f, std::nullopt},
    {"far over range", -1.0e30f, std::nullopt},
    {"largest float", std::numeric_limits<float>::max(), std::nullopt},
    {"quiet NaN", kNaN, 0.0f},
    {"negative NaN", -kNaN, 0.0f},
    {"signalling NaN", std::numeric_limits<float>::signaling_NaN(), 0.0f},
    {"infinity", kInfinity, 1.0e30f},
    {"negative infinity", -kInfinity, -1.0e30f},
};

enum class Placement { OneSample, WholeBlock, RightEveryOther };

// A block of a quiet tone with the chosen samples replaced by `bad`.
void fillBlock(std::vector<float>& left, std::vector<float>& right, Placement placement, float bad,
               int offset) {
    for (int32_t i = 0; i < kBlock; ++i) {
        left[i] = 0.4f * std::sin(0.07f * static_cast<float>(i + offset));
        right[i] = 0.4f * std::cos(0.05f * static_cast<float>(i + offset));
    }
    switch (placement) {
        case Placement::OneSample:
            left[kBlock / 2] = bad;
            right[kBlock - 1] = bad;
            break;
        case Placement::WholeBlock:
            std::fill(left.begin(), left.end(), bad);
            std::fill(right.begin(), right.end(), bad);
            break;
        case Placement::RightEveryOther:
            for (int32_t i = 0; i < kBlock; i += 2) right[i] = bad;  // ends on a bad sample
            break;
    }
}

struct Outputs {
    std::vector<float> left = std::vector<float>(kBlock);
    std::vector<float> right = std::vector<float>(kBlock);
};

Outputs play(Effect& effect, std::vector<float> left, std::vector<float> right) {
    Outputs out;
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {out.left.data(), out.right.data()};
    effect.processReplacing(inputs, outputs, kBlock);
    return out;
}

::testing::AssertionResult clean(const Outputs& out) {
    for (int32_t i = 0; i < kBlock; ++i) {
        if (!cleanSample(out.left[i]) || !cleanSample(out.right[i])) {
            return ::testing::AssertionFailure()
                   << "sample " << i << ": " << out.left[i] << ", " << out.right[i];
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(Input, SilenceGivesExactSilence) {
    const std::vector<float> silence(kBlock, 0.0f);
    for (int32_t program = 0; program < 10; ++program) {
        for (const float rate : {22050.0f, 44100.0f, 192000.0f}) {
            Effect effect;
            effect.dispatch(effSetProgram, 0, program);
            effect.start(rate, kBlock);
            for (int block = 0; block < 8; ++block) {
                const Outputs out = play(effect, silence, silence);
                for (int32_t i = 0; i < kBlock; ++i) {
                    ASSERT_EQ(out.left[i], 0.0f)
                        << "program " << program << " block " << block << " sample " << i;
                    ASSERT_EQ(out.right[i], 0.0f)
                        << "program " << program << " block " << block << " sample " << i;
                }
            }
        }
    }
}

TEST(Input, BadSamplesKeepTheOutputCleanAndTheEffectRecovers) {
    const std::vector<float> silence(kBlock, 0.0f);
    std::vector<float> left(kBlock), right(kBlock), sameLeft(kBlock), sameRight(kBlock);
    for (const BadSample& bad : kBadSamples) {
        for (const Placement placement :
             {Placement::OneSample, Placement::WholeBlock, Placement::RightEveryOther}) {
            for (int32_t program = 0; program < 10; ++program) {
                const auto context = ::testing::Message()
                                     << bad.name << ", placement " << static_cast<int>(placement)
                                     << ", program " << program;
                Effect effect, twin;
                for (Effect* e : {&effect, &twin}) {
                    e->dispatch(effSetProgram, 0, program);
                    e->start(44100.0f, kBlock);
                }
                // Some ordinary signal first, so the stages are busy when the bad samples come.
                fillBlock(left, right, placement, 0.4f, 0);
                play(effect, left, right);
                play(twin, left, right);

                fillBlock(left, right, placement, bad.value, kBlock);
                const Outputs hit = play(effect, left, right);
                tally().badInputs += placement == Placement::OneSample    ? 2
                                     : placement == Placement::WholeBlock ? 2 * kBlock
                                                                          : (kBlock + 1) / 2;
                ASSERT_TRUE(clean(hit)) << context;

                if (bad.sameAs) {
                    fillBlock(sameLeft, sameRight, placement, *bad.sameAs, kBlock);
                    const Outputs reference = play(twin, sameLeft, sameRight);
                    ASSERT_EQ(hit.left, reference.left) << context;
                    ASSERT_EQ(hit.right, reference.right) << context;
                }

                // Recovery: silence settles to exact silence within the block...
                const Outputs settled = play(effect, silence, silence);
                ASSERT_TRUE(clean(settled)) << context;
                for (int32_t i = 16; i < kBlock; ++i) {
                    ASSERT_EQ(settled.left[i], 0.0f) << context << " sample " << i;
                    ASSERT_EQ(settled.right[i], 0.0f) << context << " sample " << i;
                }
                // ...and a tone comes through again, bounded.
                fillBlock(left, right, placement, 0.4f, 2 * kBlock);
                const Outputs after = play(effect, left, right);
                ASSERT_TRUE(clean(after)) << context;
                float peak = 0.0f;
                for (int32_t i = 0; i < kBlock; ++i)
                    peak = std::max({peak, std::fabs(after.left[i]), std::fabs(after.right[i])});
                EXPECT_GT(peak, 0.01f) << context;
                EXPECT_LE(peak, 1.5f) << context;
            }
        }
    }
}

TEST(Input, BadSamplesThroughTheAccumulatingEntry) {
    for (const BadSample& bad : kBadSamples) {
        Effect effect;
        effect.dispatch(effSetProgram, 0, 4);
        effect.start(96000.0f, kBlock);
        std::vector<float> left(kBlock, bad.value), right(kBlock, bad.value);
        std::vector<float> outL(kBlock, 0.0f), outR(kBlock, 0.0f);
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        effect.process(inputs, outputs, kBlock);
        tally().badInputs += 2 * kBlock;
        for (int32_t i = 0; i < kBlock; ++i) {
            ASSERT_TRUE(cleanSample(outL[i]) && cleanSample(outR[i])) << bad.name << " sample " << i;
        }
    }
}
