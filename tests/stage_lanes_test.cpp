// The drive stages run as lanes, without branches and with stage 2 a few
// frames behind stage 1. Against the plain per-sample model, from random
// states and coefficients well beyond the factory programs, every output and
// every state must come out the same.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/stage.h"
#include "tests/support/reference_model.h"

namespace {

class Random {
public:
    explicit Random(uint32_t seed) : state_(seed) {}
    float uniform(float low, float high) {
        state_ = state_ * 1664525u + 1013904223u;
        return low + (high - low) * float(state_ >> 8) / float(1u << 24);
    }
    bool chance(float p) { return uniform(0.0f, 1.0f) < p; }

private:
    uint32_t state_;
};

StageState randomState(Random& random) {
    return {random.uniform(0.0f, 1.0f), random.uniform(0.0f, 1.0f), random.uniform(-1.2f, 1.2f),
            random.uniform(-2.0f, 2.0f)};
}

float randomSample(Random& random) {
    const float pick = random.uniform(0.0f, 1.0f);
    if (pick < 0.05f) return 0.0f;
    if (pick < 0.10f) return random.chance(0.5f) ? 1.0f : -1.0f;
    if (pick < 0.15f) return random.uniform(-1e-7f, 1e-7f);
    return random.uniform(-1.5f, 1.5f);
}

model::Stage toModel(const StageState& s) {
    return {s.envelope, s.weight, s.smoothed, s.lastShaped};
}

void expectSameState(const StageState& actual, const model::Stage& expected, const char* what) {
    EXPECT_EQ(actual.envelope, expected.envelope) << what;
    EXPECT_EQ(actual.weight, expected.weight) << what;
    EXPECT_EQ(actual.smoothed, expected.smoothed) << what;
    EXPECT_EQ(actual.lastShaped, expected.lastShaped) << what;
}

TEST(StageLanes, MatchThePlainStageFromAnyState) {
    Random random(2024);
    for (int trial = 0; trial < 3000; ++trial) {
        const StagePlan plan{!random.chance(0.15f), !random.chance(0.15f), random.chance(0.5f),
                             random.chance(0.5f)};
        StageCoefficients co{random.uniform(0.0f, 1.0f), random.uniform(0.0f, 0.8f),
                             random.uniform(0.0f, 1.0f)};
        if (random.chance(0.2f)) co.attack = 1.0f;
        if (random.chance(0.2f)) co.drive = random.chance(0.5f) ? 1.0f : 0.0f;
        const auto count = int32_t(random.uniform(0.0f, 1.0f) < 0.5f ? random.uniform(0.0f, 10.0f)
                                                                     : random.uniform(0.0f, 70.0f));
        StageState states[4];
        for (auto& s : states) s = randomState(random);
        std::vector<float> left(count), right(count);
        for (int32_t i = 0; i < count; ++i) {
            left[i] = randomSample(random);
            right[i] = randomSample(random);
        }

        model::Stage expected[4];
        for (int lane = 0; lane < 4; ++lane) expected[lane] = toModel(states[lane]);
        std::vector<float> expectLeft = left, expectRight = right;
        const model::Coefficients mc{1.0f, co.attack, co.release, co.drive};
        for (int32_t i = 0; i < count; ++i) {
            if (plan.left) {
                expectLeft[i] = expected[0].run(expectLeft[i], plan.boost, mc);
                if (plan.twoStages) expectLeft[i] = expected[2].run(expectLeft[i], plan.boost, mc);
            }
            if (plan.right) {
                expectRight[i] = expected[1].run(expectRight[i], plan.boost, mc);
                if (plan.twoStages) expectRight[i] = expected[3].run(expectRight[i], plan.boost, mc);
            }
        }

        runStages(states, left.data(), right.data(), count, plan, co);

        SCOPED_TRACE(testing::Message() << "trial " << trial << ", " << count << " frames, boost "
                                        << plan.boost << ", two stages " << plan.twoStages);
        const bool used[4] = {plan.left, plan.right, plan.left && plan.twoStages,
                              plan.right && plan.twoStages};
        for (int lane = 0; lane < 4; ++lane) {
            expectSameState(states[lane], expected[lane], used[lane] ? "a running stage" : "an idle stage");
        }
        if (plan.left) {
            EXPECT_EQ(left, expectLeft);
        }
        if (plan.right) {
            EXPECT_EQ(right, expectRight);
        }
        if (HasFailure()) return;
    }
}

// With the fastest attack at full drive, an attack can round past u and then
// has to release in the same sample. The release rate is far beyond any the
// effect derives, so that the release shows in the result.
TEST(StageLanes, AttackThatOvershootsReleasesInTheSameSample) {
    const float u = 0x1.47ae16p-7f;
    for (const float input : {u, -u}) {
        StageState state{0x1.8p-30f, 0.25f, 0.0f, 0.0f};
        model::Stage expected = toModel(state);
        float sample = input;
        const float expectedSample = expected.run(input, false, model::Coefficients{1.0f, 1.0f, 1e6f, 1.0f});
        runStage(state, &sample, 1, false, StageCoefficients{1.0f, 1e6f, 1.0f});
        EXPECT_LT(expected.envelope, u);  // released below the input again
        expectSameState(state, expected, "after the overshoot");
        EXPECT_EQ(sample, expectedSample);
    }
}

}  // namespace
