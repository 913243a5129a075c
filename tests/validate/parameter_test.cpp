// Parameter values a host may send, sensible or not: every step edge, values
// outside 0..1, not-a-number; what the host reads back and shows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/validate/validation_host.h"

namespace {

constexpr float kMaximum[6] = {128, 128, 128, 128, 1, 1};
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Texts the host shows: read into a 9-byte field followed by guard bytes.
std::string guardedText(Effect& effect, int32_t opcode, int32_t index) {
    constexpr std::size_t kField = 9;
    unsigned char buffer[64];
    std::memset(buffer, 0, kField);
    std::memset(buffer + kField, 0xA5, sizeof buffer - kField);
    effect.dispatch(opcode, index, 0, buffer);
    for (std::size_t i = kField; i < sizeof buffer; ++i) {
        EXPECT_EQ(buffer[i], 0xA5) << "opcode " << opcode << " index " << index << " wrote byte " << i;
    }
    const std::size_t length = strnlen(reinterpret_cast<char*>(buffer), kField);
    EXPECT_LT(length, kField) << "opcode " << opcode << " index " << index << ": no terminator";
    return std::string(reinterpret_cast<char*>(buffer), length);
}

// The values sent to parameter `index`, with the step each must land on (-1: any step).
struct Probe {
    float value;
    float step;
};

std::vector<Probe> probesFor(int32_t index) {
    const float maximum = kMaximum[index];
    std::vector<Probe> probes;
    for (int s = 0; s <= static_cast<int>(maximum); ++s) {
        const float exact = static_cast<float>(s) / maximum;
        probes.push_back({exact, static_cast<float>(s)});
        if (s > 0) probes.push_back({std::nextafter(exact, 0.0f), static_cast<float>(s - 1)});
        if (s < static_cast<int>(maximum))
            probes.push_back({std::nextafter(exact, 2.0f), static_cast<float>(s)});
    }
    for (const float outside :
         {-0.0f, -1.0e-45f, -0.5f, -1.0f, 1.0000001f, 2.0f, 1.0e30f, -1.0e30f, kInfinity, -kInfinity,
          std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
          std::numeric_limits<float>::signaling_NaN()}) {
        probes.push_back({outside, -1.0f});
    }
    return probes;
}

}  // namespace

TEST(Parameters, EveryStepEdgeAndBadValueKeepsRawValuesInRange) {
    Effect effect;
    for (int32_t index = 0; index < 6; ++index) {
        for (const Probe& probe : probesFor(index)) {
            effect.set(index, probe.value);
            if (probe.step < 0.0f) ++tally().badInputs;
            const float read = effect.get(index);
            const float raw = read * kMaximum[index];
            const auto context = ::testing::Message() << "index " << index << " value " << probe.value;
            ASSERT_TRUE(read >= 0.0f && read <= 1.0f) << context << " reads " << read;
            ASSERT_EQ(raw, std::trunc(raw)) << context << " is no whole step";
            if (probe.step >= 0.0f) {
                ASSERT_EQ(raw, probe.step) << context;
            }

            for (const int32_t opcode : {effGetParamDisplay, effGetParamLabel}) {
                const std::string text = guardedText(effect, opcode, index);
                if (opcode == effGetParamDisplay && index >= 4) {
                    EXPECT_EQ(text, raw != 0.0f ? "On" : "Off") << context;
                }
            }
            // The other parameters are untouched by it.
            for (int32_t other = 0; other < 6; ++other) {
                const float r = effect.get(other);
                ASSERT_TRUE(r >= 0.0f && r <= 1.0f) << "index " << other;
            }
        }
    }
}

TEST(Parameters, IndicesOutsideTheTableAreHarmless) {
    Effect effect;
    const int32_t outside[] = {
        -1, 6, 7, 100, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()};
    std::vector<float> before;
    for (int32_t i = 0; i < 6; ++i) before.push_back(effect.get(i));
    for (const int32_t index : outside) {
        for (const float value : {0.0f, 0.5f, 1.0f, std::numeric_limits<float>::quiet_NaN(), kInfinity}) {
            effect.set(index, value);
            ++tally().badInputs;
            const float read = effect.get(index);
            EXPECT_TRUE(std::isfinite(read)) << "index " << index;
        }
        EXPECT_EQ(guardedText(effect, effGetParamDisplay, index), "error");
        EXPECT_EQ(guardedText(effect, effGetParamLabel, index), "%");
        char name[64];
        std::memset(name, 0xA5, sizeof name);
        name[0] = '\0';
        effect.dispatch(effGetParamName, index, 0, name);
        EXPECT_LT(strnlen(name, 20), std::size_t{20});
    }
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(effect.get(i), before[i]) << "index " << i;
}

TEST(Parameters, NamesFitTheirFieldAndDisplaysTheirs) {
    Effect effect;
    const char* const names[] = {"Ingain", "Attack", "Release", "Drive", "Times Two", "Boost"};
    for (int32_t index = 0; index < 6; ++index) {
        unsigned char buffer[64];
        std::memset(buffer, 0xA5, sizeof buffer);
        buffer[0] = 0;
        effect.dispatch(effGetParamName, index, 0, buffer);
        const std::string name(reinterpret_cast<char*>(buffer));
        EXPECT_EQ(name.size(), 19u);
        EXPECT_EQ(name.rfind(names[index], 0), 0u) << name;
        for (std::size_t i = 20; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0xA5) << "index " << index;
    }
    // The extremes of each continuous parameter still fit in 8 characters.
    for (int32_t index = 0; index < 4; ++index) {
        for (const float value : {0.0f, 1.0f / 128.0f, 0.5f, 127.0f / 128.0f, 1.0f}) {
            effect.set(index, value);
            EXPECT_FALSE(guardedText(effect, effGetParamDisplay, index).empty());
        }
    }
}
