// Two threads set parameters of one effect at the same moment, round after
// round, as a host's user-interface thread and its audio thread applying
// automation do: after every round the coefficients the signal path runs
// with must be the ones the parameters give. (Derived without care, a few
// hundred rounds in 20,000 end with one thread's stale derivation published
// last.)
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "core/coefficients.h"
#include "core/effect_core.h"

namespace {

// Both threads wait here until the other arrives, then go at once.
class Barrier {
public:
    explicit Barrier(int parties) : parties(parties) {}
    void arrive() {
        const int round = rounds.load();
        if (arrived.fetch_add(1) + 1 == parties) {
            arrived = 0;
            rounds.fetch_add(1);
        } else {
            while (rounds.load() == round) std::this_thread::yield();
        }
    }

private:
    const int parties;
    std::atomic<int> arrived{0};
    std::atomic<int> rounds{0};
};

TEST(CoefficientRace, TwoThreadsSettingParametersNeverLeaveTheSoundOffThem) {
    constexpr int kRounds = 20000;
    EffectCore effect;
    ASSERT_TRUE(effect.switchOn(44100.0f, 64));
    std::vector<float> left(64, 0.25f), right(64, -0.25f), outLeft(64), outRight(64);
    const float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};

    Barrier start(3), done(3);
    std::vector<float> ingain(kRounds), drive(kRounds);
    std::mt19937 random(7);
    for (int r = 0; r < kRounds; ++r) {
        ingain[r] = static_cast<float>(random() % 129) / 128.0f;
        drive[r] = static_cast<float>(random() % 129) / 128.0f;
    }

    std::thread userInterface([&] {
        for (int r = 0; r < kRounds; ++r) {
            start.arrive();
            effect.setParameter(kIngain, ingain[r], true, 0);
            done.arrive();
        }
    });
    std::thread audio([&] {
        for (int r = 0; r < kRounds; ++r) {
            start.arrive();
            effect.setParameter(kDrive, drive[r], true, 0);
            effect.processBlock(Routing{}, inputs, outputs, 64, false);
            done.arrive();
        }
    });

    int offRounds = 0;
    for (int r = 0; r < kRounds; ++r) {
        start.arrive();
        done.arrive();
        const Coefficients expected = deriveCoefficients(
            {effect.rawValue[kIngain], effect.rawValue[kAttack], effect.rawValue[kRelease], effect.rawValue[kDrive]},
            effect.rateScaleValue());
        const bool follows = effect.inputGain == expected.inputGain && effect.driveAmount == expected.driveAmount &&
                             effect.attackCoef == expected.attackCoef && effect.releaseCoef == expected.releaseCoef;
        if (!follows) ++offRounds;
    }
    userInterface.join();
    audio.join();
    EXPECT_EQ(offRounds, 0) << "rounds that ended with the coefficients off the parameters";
}

}  // namespace
