// Control ports and raw steps. A host reads the Turtle's numbers as floats and
// writes them back; every step of every parameter must come back as the step
// the VST 2 face takes for the same knob position (raw / maximum).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/coefficients.h"
#include "lv2/plugin.h"
#include "lv2/turtle.h"

namespace {

using namespace lv2face;

struct ControlUnderTest {
    Plugin plugin{44100.0};
    float value = 0.0f;
    int32_t port = -1;

    explicit ControlUnderTest(int32_t parameter) : port(portOfParameter(parameter)) {
        plugin.connect(static_cast<uint32_t>(port), &value);
    }
    float stepFor(float portValue) {
        value = portValue;
        plugin.run(0);
        return plugin.core().rawValue[kPorts[port].parameter];
    }
};

TEST(Lv2Ports, EveryStepAsTheTurtleWritesItTakesTheVst2Step) {
    for (int32_t parameter = 0; parameter < kParamCount; ++parameter) {
        const ParamRow& row = kParameters[parameter];
        ControlUnderTest control(parameter);
        for (int32_t step = 0; step <= row.steps; ++step) {
            const float position = static_cast<float>(step) / static_cast<float>(row.steps);
            float expected = EffectCore::stepFor(parameter, position);
            ASSERT_EQ(expected, static_cast<float>(step));
            // Ingain's steps 64 and 65 both read 0 dB: the same gain, so one number names both.
            if (parameter == kIngain && step == 65) {
                ASSERT_EQ(inputGainFor(64.0f), inputGainFor(65.0f));
                expected = 64.0f;
            }
            const std::string written = decimal(portValue(row, static_cast<float>(step)));
            const float read = std::strtof(written.c_str(), nullptr);
            EXPECT_EQ(control.stepFor(read), expected) << row.name << " step " << step << " written " << written;
        }
    }
}

TEST(Lv2Ports, ValuesBetweenAndBeyondTheStepsTakeTheNearest) {
    ControlUnderTest drive(kDrive);
    // Percent steps lie 100/128 apart.
    EXPECT_EQ(drive.stepFor(10.0f * 0.78125f + 0.3f), 10.0f);
    EXPECT_EQ(drive.stepFor(10.0f * 0.78125f + 0.5f), 11.0f);
    EXPECT_EQ(drive.stepFor(-40.0f), 0.0f);
    EXPECT_EQ(drive.stepFor(-std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(drive.stepFor(250.0f), 128.0f);
    EXPECT_EQ(drive.stepFor(std::numeric_limits<float>::quiet_NaN()), 128.0f) << "NaN leaves the value as it was";

    ControlUnderTest ingain(kIngain);
    // 20 log10(0.158 + 0.842 (g/64)^2) by hand: step 32 is -8.671 dB, step 33 -8.362 dB.
    EXPECT_EQ(ingain.stepFor(-8.53f), 32.0f);
    EXPECT_EQ(ingain.stepFor(-8.50f), 33.0f);
    EXPECT_EQ(ingain.stepFor(-60.0f), 0.0f);
    EXPECT_EQ(ingain.stepFor(40.0f), 128.0f);

    // lv2:toggled: above zero is on.
    ControlUnderTest boost(kBoost);
    EXPECT_EQ(boost.stepFor(0.5f), 1.0f);
    EXPECT_EQ(boost.stepFor(0.0f), 0.0f);
    EXPECT_EQ(boost.stepFor(1.0f), 1.0f);
    EXPECT_EQ(boost.stepFor(-1.0f), 0.0f);
}

// The port list follows the tables: a row added to either table gets a port
// with a symbol of its own, and the program list stays out.
TEST(Lv2Ports, OnePortPerSettableRowWithDistinctSymbols) {
    int32_t controls = 0;
    for (int32_t p = 0; p < kPortCount; ++p) {
        if (kPorts[p].kind == PortKind::kControl || kPorts[p].kind == PortKind::kEnabled) ++controls;
        EXPECT_NE(kPorts[p].symbol[0], '\0');
        for (int32_t q = 0; q < p; ++q) EXPECT_STRNE(kPorts[p].symbol, kPorts[q].symbol);
        if (kPorts[p].row) {
            EXPECT_NE(kPorts[p].row->kind, ParamKind::kProgram);
        }
    }
    EXPECT_EQ(controls, kParamCount + static_cast<int32_t>(kFaceParameters.size()) - 1);
    for (int32_t parameter = 0; parameter < kParamCount; ++parameter) EXPECT_GE(portOfParameter(parameter), 0);
}

}  // namespace
