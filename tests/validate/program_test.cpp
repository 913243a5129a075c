// The program requests for every program number a host might send.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/validate/validation_host.h"

namespace {

constexpr std::size_t kNameField = 24;

struct Factory {
    const char* name;
    float raw[6];
};

// The factory table as the product documents it.
const Factory kFactory[10] = {
    {"Default            ", {64, 64, 64, 0, 0, 0}},    {"Warming            ", {56, 64, 21, 26, 0, 1}},
    {"Raised             ", {64, 115, 12, 77, 0, 0}},  {"Dense              ", {64, 17, 76, 128, 0, 1}},
    {"Duck  Compressed   ", {64, 0, 128, 128, 1, 1}},  {"Rough Compressed   ", {47, 0, 0, 128, 1, 0}},
    {"Tightly  Harder    ", {64, 81, 111, 128, 1, 1}}, {"Clean Power        ", {54, 112, 0, 128, 1, 0}},
    {"Raw   Power        ", {54, 128, 0, 128, 1, 1}},  {"Loud as can be     ", {64, 128, 0, 128, 1, 1}},
};
constexpr float kMaximum[6] = {128, 128, 128, 128, 1, 1};

const int32_t kNumbers[] = {
    std::numeric_limits<int32_t>::min(), -100, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 100,
    std::numeric_limits<int32_t>::max()};

bool isProgram(int64_t n) {
    return n >= 0 && n < 10;
}

// A name request into a 24-byte field followed by guard bytes; nullopt-like
// "untouched" is reported as the marker text.
std::string guardedName(Effect& effect, int32_t opcode, int32_t index, intptr_t* answer = nullptr) {
    unsigned char buffer[128];
    std::memset(buffer, 0xA5, sizeof buffer);
    std::memset(buffer, 0, kNameField);
    std::strcpy(reinterpret_cast<char*>(buffer), "untouched");
    const intptr_t result = effect.dispatch(opcode, index, 0, buffer);
    if (answer) *answer = result;
    for (std::size_t i = kNameField; i < sizeof buffer; ++i) {
        EXPECT_EQ(buffer[i], 0xA5) << "opcode " << opcode << " index " << index << " wrote byte " << i;
    }
    const std::size_t length = strnlen(reinterpret_cast<char*>(buffer), kNameField);
    EXPECT_LT(length, kNameField) << "opcode " << opcode << " index " << index << ": no terminator";
    return std::string(reinterpret_cast<char*>(buffer), length);
}

}  // namespace

TEST(Programs, EveryProgramLoadsReportsAndReadsBack) {
    Effect effect;
    for (int32_t p = 0; p < 10; ++p) {
        effect.clearAutomations();
        EXPECT_EQ(effect.dispatch(effSetProgram, 0, p), 0);
        EXPECT_EQ(effect.dispatch(effGetProgram), p);
        const auto reports = effect.automations();
        ASSERT_EQ(reports.size(), 6u) << "program " << p;
        for (int32_t i = 0; i < 6; ++i) {
            const float expected = kFactory[p].raw[i] / kMaximum[i];
            EXPECT_EQ(reports[i].first, i) << "program " << p;
            EXPECT_EQ(reports[i].second, expected) << "program " << p << " parameter " << i;
            EXPECT_EQ(effect.get(i), expected) << "program " << p << " parameter " << i;
        }
        EXPECT_EQ(guardedName(effect, effGetProgramName, 0), kFactory[p].name);
    }
}

TEST(Programs, NumbersOutsideTheTableChangeNothing) {
    Effect effect;
    effect.dispatch(effSetProgram, 0, 3);
    for (const int32_t n : kNumbers) {
        if (isProgram(n)) continue;
        effect.clearAutomations();
        effect.dispatch(effSetProgram, 0, n);
        ++tally().badInputs;
        EXPECT_EQ(effect.dispatch(effGetProgram), 3) << n;
        EXPECT_TRUE(effect.automations().empty()) << n;
    }
    // Values beyond 32 bits must not wrap into the table either.
    if (sizeof(intptr_t) > 4) {
        effect.dispatch(effSetProgram, 0, static_cast<intptr_t>(int64_t{1} << 32));
        EXPECT_EQ(effect.dispatch(effGetProgram), 3);
    }
}

TEST(Programs, IndexedNamesForEveryNumber) {
    Effect effect;
    for (const int32_t n : kNumbers) {
        for (const intptr_t category : {intptr_t{0}, intptr_t{-1}, intptr_t{5}}) {
            intptr_t answer = -7;
            unsigned char buffer[128];
            std::memset(buffer, 0xA5, sizeof buffer);
            std::memset(buffer, 0, kNameField);
            std::strcpy(reinterpret_cast<char*>(buffer), "untouched");
            answer = effect.dispatch(effGetProgramNameIndexed, n, category, buffer);
            for (std::size_t i = kNameField; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0xA5) << n;
            const std::string name(reinterpret_cast<char*>(buffer),
                                   strnlen(reinterpret_cast<char*>(buffer), kNameField));
            if (isProgram(n)) {
                EXPECT_EQ(answer, 1) << n;
                EXPECT_EQ(name, kFactory[n].name);
            } else {
                ++tally().badInputs;
                EXPECT_EQ(answer, 0) << n;
                EXPECT_EQ(name, "untouched") << n;
            }
        }
    }
}

TEST(Programs, RenameKeepsAtMostTwentyThreeCharacters) {
    Effect effect;
    const std::size_t lengths[] = {0, 1, 8, 22, 23, 24, 25, 100, 5000};
    for (int32_t p = 0; p < 10; ++p) {
        effect.dispatch(effSetProgram, 0, p);
        for (const std::size_t length : lengths) {
            std::string name(length, 'a' + static_cast<char>(p));
            if (length > 3) name[length / 2] = ' ';
            effect.dispatch(effSetProgramName, 0, 0, name.data());
            const std::string expected = name.substr(0, 23);
            EXPECT_EQ(guardedName(effect, effGetProgramName, 0), expected)
                << "program " << p << " length " << length;
            intptr_t answer = 0;
            EXPECT_EQ(guardedName(effect, effGetProgramNameIndexed, p, &answer), expected);
            EXPECT_EQ(answer, 1);
        }
    }
    // A rename touches the current program only.
    effect.dispatch(effSetProgram, 0, 0);
    char name[] = "Mine";
    effect.dispatch(effSetProgramName, 0, 0, name);
    intptr_t answer = 0;
    EXPECT_EQ(guardedName(effect, effGetProgramNameIndexed, 1, &answer), std::string(23, 'b'));
}

TEST(Programs, CopyToEveryNumber) {
    for (const int32_t destination : kNumbers) {
        Effect effect;
        effect.dispatch(effSetProgram, 0, 1);
        effect.set(0, 0.25f);
        char name[] = "Copied";
        effect.dispatch(effSetProgramName, 0, 0, name);
        const intptr_t answer = effect.dispatch(effCopyProgram, destination);
        EXPECT_EQ(answer, isProgram(destination) ? 1 : 0) << destination;
        EXPECT_EQ(effect.dispatch(effGetProgram), 1) << destination;
        if (!isProgram(destination)) {
            ++tally().badInputs;
            continue;
        }
        EXPECT_EQ(guardedName(effect, effGetProgramNameIndexed, destination), "Copied");
        effect.dispatch(effSetProgram, 0, destination);
        EXPECT_EQ(effect.get(0), 0.25f) << destination;
        EXPECT_EQ(effect.get(1), 64.0f / 128.0f) << destination;
        EXPECT_EQ(effect.get(3), 26.0f / 128.0f) << destination;
        // The other programs keep their factory names.
        for (int32_t p = 0; p < 10; ++p) {
            if (p == destination || p == 1) continue;
            EXPECT_EQ(guardedName(effect, effGetProgramNameIndexed, p), kFactory[p].name);
        }
    }
}
