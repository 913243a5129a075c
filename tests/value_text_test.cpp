// Value texts, byte for byte. Expected texts are worked by hand from the
// 32-bit value: digits are cut, never rounded.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <ostream>
#include <string>

#include "tests/support/test_effect.h"

namespace {

constexpr const char* kHuge = " Huge!  ";
constexpr const char* kMinusInfinity = "  -oo   ";
constexpr float kInf = std::numeric_limits<float>::infinity();

// Runs a text operation into a guarded buffer: the result must fit in 9 bytes.
template <typename Write>
std::string written(Write write) {
    char buffer[24];
    std::memset(buffer, '#', sizeof buffer);
    write(buffer);
    for (std::size_t i = 9; i < sizeof buffer; ++i) {
        EXPECT_EQ(buffer[i], '#') << "written past the 9-byte result at " << i;
    }
    const void* end = std::memchr(buffer, '\0', 9);
    EXPECT_NE(end, nullptr) << "no terminator within 9 bytes";
    return end ? std::string(buffer) : std::string();
}

struct FloatCase {
    float value;
    int8_t used;
    const char* expected;
};

// Readable case names in test listings, e.g. "-1.5 used 4 -> -1.5".
void PrintTo(const FloatCase& c, std::ostream* out) {
    *out << c.value << " used " << int{c.used} << " -> \"" << c.expected << '"';
}

class FloatToText : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatToText, Text) {
    const FloatCase& c = GetParam();
    BareEffect effect;
    EXPECT_EQ(written([&](char* t) { effect.floatToText(c.value, t, c.used); }), c.expected)
        << c.value << " with " << int{c.used} << " used";
}

INSTANTIATE_TEST_SUITE_P(NoneUsed, FloatToText, ::testing::Values(
    FloatCase{0.0f, 0, "0.000000"},
    FloatCase{0.5f, 0, "0.500000"},
    FloatCase{1.0f, 0, "1.000000"},
    FloatCase{-1.5f, 0, "-1.50000"},
    FloatCase{123.456f, 0, "123.4560"},
    FloatCase{0.7f, 0, "0.699999"},
    FloatCase{0.29f, 0, "0.289999"},
    FloatCase{9999999.0f, 0, "9999999."},
    FloatCase{100000000.0f, 0, kHuge},
    FloatCase{-10000000.0f, 0, kHuge},
    FloatCase{-0.0f, 0, "0.000000"},
    FloatCase{-999999.0f, 0, "-999999."}));

INSTANTIATE_TEST_SUITE_P(FourUsed, FloatToText, ::testing::Values(
    FloatCase{0.0f, 4, "0.00"},
    FloatCase{0.5f, 4, "0.50"},
    FloatCase{3.14159f, 4, "3.14"},
    FloatCase{50.0f, 4, "50.0"},
    FloatCase{100.0f, 4, "100."},
    FloatCase{-1.5f, 4, "-1.5"},
    FloatCase{-16.03f, 4, "-16."},
    FloatCase{99.99f, 4, "99.9"},
    FloatCase{0.29f, 4, "0.28"}));

INSTANTIATE_TEST_SUITE_P(ThreeUsed, FloatToText, ::testing::Values(
    FloatCase{0.5f, 3, "0.500"},
    FloatCase{50.0f, 3, "50.00"},
    FloatCase{100.0f, 3, "100.0"},
    FloatCase{-16.03f, 3, "-16.0"},
    FloatCase{123.456f, 3, "123.4"}));

// More integer digits than positions: the overflow text, never the low digits
// alone, and never more than 8 characters.
INSTANTIATE_TEST_SUITE_P(DoesNotFit, FloatToText, ::testing::Values(
    FloatCase{1234.0f, 4, kHuge},
    FloatCase{-123.0f, 4, kHuge},
    FloatCase{12345678.0f, 0, kHuge},
    FloatCase{99999999.0f, 0, kHuge},
    FloatCase{-9999999.0f, 0, kHuge},
    FloatCase{std::numeric_limits<float>::quiet_NaN(), 0, kHuge},
    FloatCase{kInf, 0, kHuge},
    FloatCase{-kInf, 4, kHuge}));

// A caller's count outside 0..8 must not widen the text past 8 characters.
INSTANTIATE_TEST_SUITE_P(OddCounts, FloatToText, ::testing::Values(
    FloatCase{0.5f, -20, "0.500000"},
    FloatCase{5.0f, 7, "5."},
    FloatCase{5.0f, 8, "5."},
    FloatCase{5.0f, 127, "5."}));

TEST(ValueText, Decibels) {
    struct Case {
        float value;
        const char* expected;
    };
    static const Case kCases[] = {
        {1.0f, "0.000000"},
        {10.0f, "20.00000"},
        {0.5f, "-6.02059"},  // -6.0205999...
        {0.0f, kMinusInfinity},
        {-1.0f, kMinusInfinity},
        {std::numeric_limits<float>::quiet_NaN(), kMinusInfinity},
    };
    BareEffect effect;
    for (const Case& c : kCases) {
        EXPECT_EQ(written([&](char* t) { effect.decibelsToText(c.value, t); }), c.expected) << c.value;
    }
}

TEST(ValueText, HertzAndMillisecondsUseTheCurrentRate) {
    struct Case {
        float rate;
        float samples;
        const char* hertz;
        const char* milliseconds;
    };
    static const Case kCases[] = {
        {44100.0f, 0.0f, "0.000000", "0.000000"},
        {44100.0f, 441.0f, "100.0000", "10.00000"},
        {44100.0f, 44100.0f, "1.000000", "1000.000"},
        {48000.0f, 48.0f, "1000.000", "1.000000"},
        {0.0f, 441.0f, "0.000000", kHuge},  // no rate: an infinite length
        {0.0f, 0.0f, "0.000000", kHuge},
    };
    for (const Case& c : kCases) {
        BareEffect effect;
        effect.dispatch(effSetSampleRate, 0, 0, nullptr, c.rate);
        EXPECT_EQ(written([&](char* t) { effect.hertzToText(c.samples, t); }), c.hertz)
            << c.samples << " at " << c.rate;
        EXPECT_EQ(written([&](char* t) { effect.millisecondsToText(c.samples, t); }), c.milliseconds)
            << c.samples << " at " << c.rate;
    }
}

TEST(ValueText, Integers) {
    struct Case {
        int32_t value;
        const char* expected;
    };
    static const Case kCases[] = {
        {42, "     42"},
        {-5, "     -5"},
        {0, "      0"},
        {1234567, "1234567"},
        {99999999, "99999999"},
        {100000000, kHuge},
        {std::numeric_limits<int32_t>::max(), kHuge},
        {-12345678, "-1234567"},  // cut after 8 characters
        {std::numeric_limits<int32_t>::min(), "-2147483"},
    };
    BareEffect effect;
    for (const Case& c : kCases) {
        EXPECT_EQ(written([&](char* t) { effect.integerToText(c.value, t); }), c.expected) << c.value;
    }
}

TEST(ValueText, NullBufferIsIgnored) {
    BareEffect effect;
    effect.floatToText(1.0f, nullptr, 0);
    effect.decibelsToText(1.0f, nullptr);
    effect.hertzToText(441.0f, nullptr);
    effect.millisecondsToText(441.0f, nullptr);
    effect.integerToText(1, nullptr);
}

}  // namespace
