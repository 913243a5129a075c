// Blocks at every common rate and size, with automation running, and the
// setup changes hosts make around them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "tests/support/allocation_counter.h"
#include "tests/validate/validation_host.h"

namespace {

// A test signal that reaches every region of the drive: quiet and loud
// tones, noise, over-range bursts and silent gaps.
class Signal {
public:
    explicit Signal(unsigned seed) : random_(seed) {}
    void fill(std::vector<float>& left, std::vector<float>& right) {
        std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
        for (std::size_t i = 0; i < left.size(); ++i, ++n_) {
            const int section = static_cast<int>((n_ / 4000) % 5);
            float l = 0.0f, r = 0.0f;
            switch (section) {
                case 0:
                    l = 0.9f * std::sin(0.013f * n_);
                    r = 0.3f * std::sin(0.031f * n_);
                    break;
                case 1:
                    l = noise(random_);
                    r = 0.01f * noise(random_);
                    break;
                case 2:
                    l = 1.8f * std::sin(0.002f * n_);
                    r = -l;
                    break;
                case 3:
                    break;  // silence: the stages must settle, not drift into subnormals
                default:
                    l = r = 1.0e-3f * std::sin(0.2f * n_);
                    break;
            }
            left[i] = l;
            right[i] = r;
        }
    }

private:
    std::mt19937 random_;
    unsigned long n_ = 0;
};

struct Stereo {
    explicit Stereo(std::size_t frames) : inL(frames), inR(frames), outL(frames), outR(frames) {}
    float* inputs[2];
    float* outputs[2];
    float** in() {
        inputs[0] = inL.data();
        inputs[1] = inR.data();
        return inputs;
    }
    float** out() {
        outputs[0] = outL.data();
        outputs[1] = outR.data();
        return outputs;
    }
    std::vector<float> inL, inR, outL, outR;
};

::testing::AssertionResult allClean(const std::vector<float>& samples) {
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (!cleanSample(samples[i]))
            return ::testing::AssertionFailure() << "sample " << i << " is " << samples[i];
    }
    return ::testing::AssertionSuccess();
}

// Runs `total` frames in blocks of `block`, setting a parameter (or now and
// then a program) whenever 32 frames have passed since the last change.
void playAutomated(Effect& effect, int32_t block, int32_t total, unsigned seed) {
    Signal signal(seed);
    std::mt19937 random(seed);
    Stereo buffers(static_cast<std::size_t>(block));
    int32_t sinceChange = 0;
    for (int32_t done = 0; done < total; done += block) {
        for (; sinceChange >= 32; sinceChange -= 32) {
            if (random() % 50 == 0) {
                effect.dispatch(effSetProgram, 0, static_cast<intptr_t>(random() % 10));
            } else {
                effect.set(static_cast<int32_t>(random() % 6),
                           std::uniform_real_distribution<float>(0.0f, 1.0f)(random));
            }
        }
        signal.fill(buffers.inL, buffers.inR);
        effect.processReplacing(buffers.in(), buffers.out(), block);
        ASSERT_TRUE(allClean(buffers.outL)) << "block at " << done;
        ASSERT_TRUE(allClean(buffers.outR)) << "block at " << done;
        sinceChange += block;
    }
}

}  // namespace

class RatesAndBlocks : public ::testing::TestWithParam<std::tuple<float, int32_t>> {};

TEST_P(RatesAndBlocks, AutomatedPlayStaysClean) {
    const auto [rate, block] = GetParam();
    Effect effect;
    effect.start(rate, block);
    // About a second and a half of audio at 44.1 kHz, whatever the block size.
    playAutomated(effect, block, std::max<int32_t>(block * 4, 65536), static_cast<unsigned>(rate) + block);
}

INSTANTIATE_TEST_SUITE_P(Validate, RatesAndBlocks,
                         ::testing::Combine(::testing::Values(22050.0f, 44100.0f, 48000.0f, 96000.0f,
                                                              192000.0f),
                                            ::testing::Values(1, 2, 63, 64, 512, 4096)),
                         [](const auto& info) {
                             return std::to_string(static_cast<int>(std::get<0>(info.param))) + "Hz_" +
                                    std::to_string(std::get<1>(info.param));
                         });

TEST(Processing, BlocksLongerThanAnnounced) {
    // Announced, then sent: up to the work buffers' cap and past it.
    const std::pair<int32_t, int32_t> cases[] = {{1, 4096},    {64, 665}, {64, 4096},
                                                 {512, 70000}, {0, 1000}, {-5, 700}};
    for (const auto& [announced, sent] : cases) {
        Effect effect;
        effect.start(44100.0f, announced);
        effect.set(3, 1.0f);
        effect.set(4, 1.0f);
        playAutomated(effect, sent, sent * 2, static_cast<unsigned>(sent));
    }
}

TEST(Processing, ReplacingAndAccumulatingAgree) {
    // Two instances in the same state: one overwrites, one adds onto silence.
    Effect replacing, adding;
    for (Effect* e : {&replacing, &adding}) {
        e->dispatch(effSetProgram, 0, 6);
        e->start(48000.0f, 300);
    }
    Signal signal(7);
    Stereo a(300), b(300);
    for (int blockIndex = 0; blockIndex < 50; ++blockIndex) {
        signal.fill(a.inL, a.inR);
        b.inL = a.inL;
        b.inR = a.inR;
        std::fill(b.outL.begin(), b.outL.end(), 0.0f);
        std::fill(b.outR.begin(), b.outR.end(), 0.0f);
        replacing.processReplacing(a.in(), a.out(), 300);
        adding.process(b.in(), b.out(), 300);
        ASSERT_EQ(a.outL, b.outL) << "block " << blockIndex;
        ASSERT_EQ(a.outR, b.outR) << "block " << blockIndex;
    }
}

TEST(Processing, SetupChangesWhileSwitchedOn) {
    Effect effect;
    effect.dispatch(effSetProgram, 0, 9);
    effect.start(44100.0f, 256);
    playAutomated(effect, 256, 4096, 1);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());

    // Rate and size change without a switch-off; the next blocks follow the new size.
    effect.dispatch(effSetSampleRate, 0, 0, nullptr, 192000.0f);
    effect.dispatch(effSetBlockSize, 0, 4096);
    playAutomated(effect, 4096, 16384, 2);
    effect.dispatch(effSetBlockSizeAndSampleRate, 0, 32, nullptr, 22050.0f);
    playAutomated(effect, 32, 4096, 3);

    // Switch-on again, twice, without a switch-off between.
    effect.dispatch(effSetBlockSize, 0, 2048);
    effect.dispatch(effMainsChanged, 0, 1);
    playAutomated(effect, 2048, 8192, 4);
    effect.dispatch(effMainsChanged, 0, 1);
    effect.dispatch(effMainsChanged, 0, -1);
    playAutomated(effect, 1, 512, 5);

    // Rates no host should send leave the effect playing sound, clean.
    for (const float rate : {0.0f, -44100.0f, 1.0f, 1.0e9f, std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity()}) {
        effect.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        effect.dispatch(effMainsChanged, 0, 1);
        ++tally().badInputs;
        playAutomated(effect, 512, 4096, 6);
    }
}

TEST(Processing, SwitchedOffLeavesOutputsAlone) {
    Effect effect;
    Stereo buffers(128);
    std::fill(buffers.inL.begin(), buffers.inL.end(), 0.5f);
    std::fill(buffers.outL.begin(), buffers.outL.end(), 3.0f);
    std::fill(buffers.outR.begin(), buffers.outR.end(), -3.0f);
    effect.processReplacing(buffers.in(), buffers.out(), 128);  // never switched on
    effect.start(44100.0f, 128);
    effect.dispatch(effMainsChanged, 0, 0);
    effect.processReplacing(buffers.in(), buffers.out(), 128);  // switched off again
    EXPECT_TRUE(std::all_of(buffers.outL.begin(), buffers.outL.end(), [](float x) { return x == 3.0f; }));
    EXPECT_TRUE(std::all_of(buffers.outR.begin(), buffers.outR.end(), [](float x) { return x == -3.0f; }));
    // Zero and negative frame counts touch nothing either.
    effect.dispatch(effMainsChanged, 0, 1);
    effect.processReplacing(buffers.in(), buffers.out(), 0);
    effect.processReplacing(buffers.in(), buffers.out(), -1);
    effect.processReplacing(buffers.in(), buffers.out(), std::numeric_limits<int32_t>::min());
    EXPECT_TRUE(std::all_of(buffers.outL.begin(), buffers.outL.end(), [](float x) { return x == 3.0f; }));
}

TEST(Processing, BlocksAndParameterSetsAllocateNothing) {
    if (!allocations::counting()) GTEST_SKIP() << "allocation counting is off in sanitizer builds";
    Effect effect;
    effect.dispatch(effSetProgram, 0, 8);
    const std::uint64_t beforeSwitchOn = allocations::onThisThread();
    effect.start(44100.0f, 512);
    // The work buffers come at switch-on; seeing them proves the counter sees the plug-in.
    ASSERT_GT(allocations::onThisThread(), beforeSwitchOn);

    Signal signal(11);
    Stereo buffers(2048);
    signal.fill(buffers.inL, buffers.inR);
    float** in = buffers.in();
    float** out = buffers.out();
    const std::uint64_t before = allocations::onThisThread();
    // Automation played from the audio thread sets parameters between blocks.
    int32_t index = 0;
    for (const int32_t frames : {512, 1, 63, 2048, 0}) {
        effect.set(index % 6, 0.3f * static_cast<float>(index % 4));
        ++index;
        effect.processReplacing(in, out, frames);
        effect.process(in, out, frames);
    }
    EXPECT_EQ(allocations::onThisThread(), before);
}
