// The factory programs, keyed by parameter, and the records an effect keeps
// of its programs: the value last set for each parameter, and a name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/parameters.h"
#include "util/relaxed.h"

struct FactoryValue {
    int32_t parameter = -1;  // -1: unused
    float raw = 0.0f;
};

struct FactoryProgram {
    const char* name;
    // A parameter a program leaves out takes its default.
    std::array<FactoryValue, kParamCount> values;
};

constexpr std::array<FactoryProgram, kProgramCount> kFactoryPrograms = {{
    {"Default", {{{kIngain, 64}, {kAttack, 64}, {kRelease, 64}, {kDrive, 0}, {kTimesTwo, 0}, {kBoost, 0}}}},
    {"Warming", {{{kIngain, 56}, {kAttack, 64}, {kRelease, 21}, {kDrive, 26}, {kTimesTwo, 0}, {kBoost, 1}}}},
    {"Raised", {{{kIngain, 64}, {kAttack, 115}, {kRelease, 12}, {kDrive, 77}, {kTimesTwo, 0}, {kBoost, 0}}}},
    {"Dense", {{{kIngain, 64}, {kAttack, 17}, {kRelease, 76}, {kDrive, 128}, {kTimesTwo, 0}, {kBoost, 1}}}},
    {"Duck  Compressed", {{{kIngain, 64}, {kAttack, 0}, {kRelease, 128}, {kDrive, 128}, {kTimesTwo, 1}, {kBoost, 1}}}},
    {"Rough Compressed", {{{kIngain, 47}, {kAttack, 0}, {kRelease, 0}, {kDrive, 128}, {kTimesTwo, 1}, {kBoost, 0}}}},
    {"Tightly  Harder", {{{kIngain, 64}, {kAttack, 81}, {kRelease, 111}, {kDrive, 128}, {kTimesTwo, 1}, {kBoost, 1}}}},
    {"Clean Power", {{{kIngain, 54}, {kAttack, 112}, {kRelease, 0}, {kDrive, 128}, {kTimesTwo, 1}, {kBoost, 0}}}},
    {"Raw   Power", {{{kIngain, 54}, {kAttack, 128}, {kRelease, 0}, {kDrive, 128}, {kTimesTwo, 1}, {kBoost, 1}}}},
    {"Loud as can be", {{{kIngain, 64}, {kAttack, 128}, {kRelease, 0}, {kDrive, 128}, {kTimesTwo, 1}, {kBoost, 1}}}},
}};

/// Program `program`'s factory raw value of `parameter`.
constexpr float factoryRaw(int32_t program, int32_t parameter) {
    for (const FactoryValue& value : kFactoryPrograms[program].values) {
        if (value.parameter == parameter) return value.raw;
    }
    return kParameters[parameter].defaultRaw;
}

static_assert([] {
    for (int32_t i = 0; i < kParamCount; ++i) {
        if (factoryRaw(0, i) != kParameters[i].defaultRaw) return false;
    }
    return true;
}(), "a parameter's default is its value in program 0");

constexpr std::size_t kNameSize = 24;  // 23 characters and the terminator
using ProgramName = std::array<char, kNameSize>;

struct ProgramRecord {
    // Normalised values (raw / maximum), as last set: a host's value between
    // steps is kept as it came until the program is loaded again.
    std::array<Relaxed<float>, kParamCount> value{};
    ProgramName name{};
};

/// The records as the factory made them: each program's values and name.
std::array<ProgramRecord, kProgramCount> factoryRecords();
