// The effect as a host sees it right after `main`: identity, parameters,
// their quantisation and texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "product/shaper_effect_edit.h"
#include "tests/support/instance.h"

namespace {

struct ParameterTexts {
    const char* name;
    const char* label;
    const char* display;
    float value;
};

TEST(Parameters, FreshEffectNamesLabelsTextsAndValues) {
    FakeHost host;
    Instance fx(host);
    const ParameterTexts expected[] = {
        {"Ingain             ", "db", "0.00", 0.5f}, {"Attack             ", "%", "50.0", 0.5f},
        {"Release            ", "%", "50.0", 0.5f},  {"Drive              ", "%", "0.00", 0.0f},
        {"Times Two          ", "", "Off", 0.0f},     {"Boost              ", "", "Off", 0.0f},
    };
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fx.text(effGetParamName, i), expected[i].name);
        EXPECT_EQ(fx.text(effGetParamLabel, i), expected[i].label);
        EXPECT_EQ(fx.text(effGetParamDisplay, i), expected[i].display);
        EXPECT_EQ(fx.get(i), expected[i].value);
    }
}

TEST(Parameters, RecordAfterMain) {
    FakeHost host;
    Instance fx(host);
    const AEffect& r = *fx.record();
    EXPECT_EQ(r.magic, fourCharCode('V', 's', 't', 'P'));
    EXPECT_EQ(r.numPrograms, 10);
    EXPECT_EQ(r.numParams, 6);
    EXPECT_EQ(r.numInputs, 2);
    EXPECT_EQ(r.numOutputs, 2);
    EXPECT_EQ(r.flags, 25);
    EXPECT_EQ(r.initialDelay, 0);
    EXPECT_EQ(r.ioRatio, 2.0f);
    EXPECT_EQ(r.uniqueID, fourCharCode('V', 'X', 'e', 'd'));
    EXPECT_EQ(r.version, 2);
    EXPECT_EQ(r.object, static_cast<EffectBase*>(&fx.effect()));
}

TEST(Parameters, ConstructionReportsProgramZeroToTheHost) {
    FakeHost host;
    Instance fx(host);
    const auto reports = host.callsOf(audioMasterAutomate);
    ASSERT_EQ(reports.size(), 6u);
    const float values[] = {0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(reports[i].effect, fx.record());
        EXPECT_EQ(reports[i].index, i);
        EXPECT_EQ(reports[i].opt, values[i]);
    }
}

TEST(Parameters, RefusedVersionMakesNoInstance) {
    FakeHost host;
    host.answer(audioMasterVersion, 0);
    EXPECT_EQ(createEffectInstance(FakeHost::callback), nullptr);
    EXPECT_EQ(host.count(audioMasterAutomate), 0u);
    EXPECT_EQ(createEffectInstance(nullptr), nullptr);
}

TEST(Parameters, TwoInstancesAreIndependent) {
    FakeHost host;
    auto first = std::make_unique<Instance>(host);
    Instance second(host);
    ASSERT_NE(first->record(), second.record());
    first->set(kDrive, 1.0f);
    EXPECT_EQ(second.get(kDrive), 0.0f);
    first.reset();
    second.set(kDrive, 0.5f);
    EXPECT_EQ(second.get(kDrive), 0.5f);
}

struct Quantisation {
    int index;
    float value;
    float readBack;
    const char* display;
};

TEST(Parameters, HostValuesAreQuantisedToSteps) {
    const Quantisation cases[] = {
        {kTimesTwo, 0.99f, 0.0f, "Off"},  {kTimesTwo, 1.0f, 1.0f, "On"},
        {kBoost, 0.5f, 0.0f, "Off"},      {kDrive, 1.0f, 1.0f, "100."},
        {kDrive, 1.0f / 128, 1.0f / 128, "0.78"}, {kAttack, 0.3f, 0.296875f, "29.6"},
        {kIngain, 0.0f, 0.0f, "-16."},    {kIngain, 1.0f, 1.0f, "16.0"},
        {kIngain, 65.0f / 128, 65.0f / 128, "0.00"},
    };
    FakeHost host;
    Instance fx(host);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.index << " <- " << c.value);
        fx.set(c.index, c.value);
        EXPECT_EQ(fx.get(c.index), c.readBack);
        EXPECT_EQ(fx.text(effGetParamDisplay, c.index), c.display);
    }
    // The program keeps what the host sent until the next load quantises it.
    EXPECT_EQ(fx.effect().program(0).value[kAttack], 0.3f);
}

TEST(Parameters, OutOfRangeIndicesAnswerSafely) {
    FakeHost host;
    Instance fx(host);
    EXPECT_EQ(fx.text(effGetParamDisplay, 6), "error");
    EXPECT_EQ(fx.text(effGetParamLabel, 6), "%");
    EXPECT_EQ(fx.text(effGetParamName, 6), "");
    EXPECT_EQ(fx.text(effGetParamName, -1), "");
    char untouched[16] = "keep";
    fx.dispatch(effGetParamLabel, kTimesTwo, 0, untouched);
    EXPECT_STREQ(untouched, "keep");
    fx.set(6, 1.0f);
    fx.set(-1, 1.0f);
    EXPECT_EQ(fx.get(6), 0.0f);
    EXPECT_EQ(fx.get(-1), 0.0f);
}

TEST(Parameters, HostValuesOutsideTheRangeStayWithinTheSteps) {
    FakeHost host;
    Instance fx(host);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {-0.5f, 2.0f, nan, inf, -inf, 1e30f};
    for (float v : values) {
        for (int i = 0; i < 6; ++i) {
            fx.set(i, v);
            const float raw = fx.effect().rawValue[i];
            EXPECT_GE(raw, 0.0f);
            EXPECT_LE(raw, fx.effect().rawMaximum[i]);
            EXPECT_EQ(raw, std::trunc(raw));
        }
        EXPECT_TRUE(std::isfinite(fx.effect().inputGain.load()));
    }
}

TEST(Parameters, IdentityAnswers) {
    FakeHost host;
    Instance fx(host);
    char text[256] = {};
    EXPECT_EQ(fx.dispatch(effGetEffectName, 0, 0, text), 1);
    EXPECT_STREQ(text, "ORv Varnox");
    EXPECT_EQ(fx.dispatch(effGetProductString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Orv Varnox");
    EXPECT_EQ(fx.dispatch(effGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Zem v1.0");
    EXPECT_EQ(fx.dispatch(effGetVendorVersion), 0);
    EXPECT_EQ(fx.dispatch(effGetPlugCategory), 0);
    EXPECT_EQ(fx.dispatch(effGetVu), 0);
    EXPECT_EQ(fx.dispatch(effGetVstVersion), 2);
    EXPECT_EQ(fx.dispatch(effKeysRequired), 1);
    EXPECT_EQ(fx.dispatch(effGetTailSize), 0);
    EXPECT_EQ(fx.dispatch(effGetChunk), 0);
    EXPECT_EQ(fx.dispatch(effIdentify), fourCharCode('N', 'v', 'E', 'f'));
}

TEST(Parameters, CanDoIsExactAndCaseSensitive) {
    FakeHost host;
    Instance fx(host);
    const std::pair<const char*, intptr_t> cases[] = {
        {"plugAsChannelInsert", 1}, {"plugAsSend", 1}, {"", -1},
        {"plugassend", -1},         {"receiveVstEvents", -1}, {"plugAsSend ", -1},
    };
    for (const auto& [text, answer] : cases) {
        char buffer[64];
        std::strcpy(buffer, text);
        EXPECT_EQ(fx.dispatch(effCanDo, 0, 0, buffer), answer) << text;
    }
    EXPECT_NE(fx.dispatch(effCanDo, 0, 0, nullptr), 1);
}

TEST(Parameters, PinProperties) {
    FakeHost host;
    Instance fx(host);
    for (int opcode : {effGetInputProperties, effGetOutputProperties}) {
        for (int pin = 0; pin < 2; ++pin) {
            VstPinProperties p{};
            EXPECT_EQ(fx.dispatch(opcode, pin, 0, &p), 1);
            EXPECT_STREQ(p.label, pin == 0 ? "VX 1" : "VX 2");
            EXPECT_EQ(p.flags, 3);
        }
        VstPinProperties p{};
        EXPECT_EQ(fx.dispatch(opcode, 2, 0, &p), 0);
        EXPECT_EQ(fx.dispatch(opcode, -1, 0, &p), 0);
        EXPECT_EQ(p.label[0], '\0');
    }
}

}  // namespace
