// Coefficients derived from the raw values, and the value readout.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/coefficients.h"
#include "tests/support/instance.h"
#include "tests/support/reference_model.h"

namespace {

// The derivation on its own: every raw step of every knob at several rate
// scalings, against the model's formulas, bit for bit.
TEST(Coefficients, DerivedFromRawValuesAndRateScaleAlone) {
    for (const float rate : {44100.0f, 88200.0f, 22050.0f, 11025.0f}) {
        const float scale = 44100.0f / rate;
        for (int raw = 0; raw <= 128; ++raw) {
            const float r = static_cast<float>(raw);
            // Neighbouring knobs move the opposite way, so a coefficient
            // that read the wrong knob would show.
            const Coefficients c = deriveCoefficients({r, 128.0f - r, r, 128.0f - r}, scale);
            const model::Coefficients ingain = model::derive({r, 0, 0, 0, 0, 0}, rate);
            const model::Coefficients attack = model::derive({0, 128.0f - r, 0, 0, 0, 0}, rate);
            const model::Coefficients release = model::derive({0, 0, r, 0, 0, 0}, rate);
            const model::Coefficients drive = model::derive({0, 0, 0, 128.0f - r, 0, 0}, rate);
            ASSERT_EQ(c.inputGain, ingain.inputGain) << raw << " at " << rate;
            ASSERT_EQ(c.attackCoef, attack.attack) << raw << " at " << rate;
            ASSERT_EQ(c.releaseCoef, release.release) << raw << " at " << rate;
            ASSERT_EQ(c.driveAmount, drive.drive) << raw << " at " << rate;
            ASSERT_EQ(c.flushThreshold, std::ldexp(1.0f, -32));
        }
    }
    // Worked numbers: both ends and the middle of every curve.
    const Coefficients low = deriveCoefficients({0, 0, 0, 0}, 1.0f);
    const Coefficients middle = deriveCoefficients({64, 64, 64, 64}, 1.0f);
    const Coefficients high = deriveCoefficients({128, 128, 128, 128}, 1.0f);
    EXPECT_EQ(low.inputGain, 0.158f);
    EXPECT_EQ(middle.inputGain, 1.0f);
    EXPECT_EQ(deriveCoefficients({65, 0, 0, 0}, 1.0f).inputGain, 1.0f);
    EXPECT_NEAR(high.inputGain, 6.31705f, 1e-5f);
    EXPECT_EQ(low.attackCoef, 0.1f);
    EXPECT_NEAR(middle.attackCoef, 0.0030534f, 1e-7f);
    EXPECT_EQ(high.attackCoef, 0.00078125f);
    EXPECT_EQ(low.releaseCoef, 0.08f);
    EXPECT_NEAR(middle.releaseCoef, 0.0015686f, 1e-7f);
    EXPECT_NEAR(high.releaseCoef, 0.00039801f, 1e-8f);
    EXPECT_EQ(middle.driveAmount, 0.5f);
    EXPECT_EQ(high.driveAmount, 1.0f);
    EXPECT_EQ(deriveCoefficients({128, 128, 128, 128}, 0.5f).attackCoef, 0.00078125f / 2);
}

TEST(Coefficients, InputGainCurve) {
    FakeHost host;
    Instance fx(host);
    struct Case {
        float raw;
        float gain;
        const char* display;
    };
    const Case cases[] = {{0, 0.158f, "-16."}, {64, 1.0f, "0.00"}, {65, 1.0f, "0.00"}, {32, 0.3685f, "-8.6"}};
    for (const auto& c : cases) {
        fx.set(kIngain, c.raw / 128);
        EXPECT_FLOAT_EQ(fx.effect().inputGain, c.gain) << c.raw;
        EXPECT_EQ(fx.text(effGetParamDisplay, kIngain), c.display) << c.raw;
    }
    fx.set(kIngain, 1.0f);
    EXPECT_NEAR(fx.effect().inputGain, 6.31705f, 1e-5f);
    // Every step agrees with the model, bit for bit.
    for (int raw = 0; raw <= 128; ++raw) {
        fx.set(kIngain, raw / 128.0f);
        const auto expected = model::derive({float(raw), 0, 0, 0, 0, 0}, 44100.0f);
        EXPECT_EQ(fx.effect().inputGain, expected.inputGain) << raw;
    }
}

TEST(Coefficients, EnvelopeRatesFollowTheSampleRate) {
    FakeHost host;
    Instance fx(host);
    struct Case {
        float attack, release, attackCoef, releaseCoef;
    };
    const Case cases[] = {{0, 0, 0.1f, 0.08f}, {64, 64, 0.0030534f, 0.0015686f}, {128, 128, 0.00078125f, 0.00039801f}};
    for (const auto& c : cases) {
        fx.set(kAttack, c.attack / 128);
        fx.set(kRelease, c.release / 128);
        EXPECT_NEAR(fx.effect().attackCoef, c.attackCoef, 1e-7f);
        EXPECT_NEAR(fx.effect().releaseCoef, c.releaseCoef, 1e-7f);
    }
    // A new rate reaches the coefficients at the next switch-on, not before.
    fx.dispatch(effSetSampleRate, 0, 0, nullptr, 88200.0f);
    EXPECT_EQ(fx.effect().rateScaleValue(), 0.5f);
    EXPECT_EQ(fx.effect().attackCoef, 0.00078125f);
    fx.dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(fx.effect().attackCoef, 0.00078125f / 2);
    EXPECT_EQ(fx.effect().releaseCoef, model::derive({0, 128, 128, 0, 0, 0}, 88200.0f).release);
    // effSetBlockSizeAndSampleRate stores the rate but leaves the scaling alone.
    EXPECT_EQ(fx.dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 44100.0f), 1);
    EXPECT_EQ(fx.effect().rateScaleValue(), 0.5f);
}

TEST(Coefficients, UnusableSampleRatesKeepTheEnvelopeStable) {
    FakeHost host;
    Instance fx(host);
    fx.set(kAttack, 0.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float rate : {0.0f, -44100.0f, nan, inf, 1.0f, 100.0f}) {
        fx.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        fx.dispatch(effMainsChanged, 0, 1);
        EXPECT_TRUE(std::isfinite(fx.effect().attackCoef.load())) << rate;
        EXPECT_LE(fx.effect().attackCoef, 1.0f) << rate;
        EXPECT_GT(fx.effect().attackCoef, 0.0f) << rate;
    }
}

TEST(Readout, HostChangesAreAnnouncedWithAHold) {
    FakeHost host;
    Instance fx(host);
    DisplayState& display = fx.effect().display;
    struct Case {
        int index;
        float value;
        int kind;
        const char* text;
    };
    const Case cases[] = {
        {kDrive, 0.5f, 0, "50.0"},   {kAttack, 1.0f, 1, "100."}, {kRelease, 0.0f, 2, "0.00"},
        {kIngain, 0.0f, 3, "-16.0"}, {kIngain, 1.0f, 3, "16.01"},
    };
    for (const auto& c : cases) {
        display.readoutHold = 0;
        fx.set(c.index, c.value);
        EXPECT_EQ(display.readoutKind, c.kind) << c.index;
        EXPECT_EQ(display.readoutText.str(), c.text) << c.index;
        EXPECT_EQ(display.readoutHold, 20) << c.index;
    }
    // The switches empty the readout and start no hold.
    for (int index : {kTimesTwo, kBoost}) {
        display.readoutHold = 0;
        fx.set(index, 1.0f);
        EXPECT_EQ(display.readoutKind, -1);
        EXPECT_EQ(display.readoutText.str(), "");
        EXPECT_EQ(display.readoutHold, 0);
    }
}

TEST(Readout, EditorReportsStartNoHoldAndReachTheHost) {
    FakeHost host;
    Instance fx(host);
    ShaperEffect& effect = fx.effect();
    DisplayState& display = effect.display;
    display.readoutHold = 0;
    host.clear();
    effect.storeRaw(kAttack, 94.0f);
    effect.reportParameter(kAttack);
    EXPECT_EQ(display.readoutHold, 0);
    ASSERT_EQ(host.count(audioMasterAutomate), 1u);
    EXPECT_EQ(host.callsOf(audioMasterAutomate)[0].opt, 94.0f / 128);
    EXPECT_EQ(effect.attackCoef, model::derive({64, 94, 64, 0, 0, 0}, 44100.0f).attack);
    // The next host change is announced again.
    fx.set(kDrive, 0.5f);
    EXPECT_EQ(display.readoutHold, 20);
}

TEST(Readout, UnknownKindDerivesButKeepsTheText) {
    FakeHost host;
    Instance fx(host);
    ShaperEffect& effect = fx.effect();
    DisplayState& display = effect.display;
    display.readoutText.assign("12.5");
    effect.storeRaw(kDrive, 128.0f);
    effect.updateReadout(7, 0);
    EXPECT_EQ(effect.driveAmount, 1.0f);
    EXPECT_EQ(display.readoutText.str(), "12.5");
}

}  // namespace
