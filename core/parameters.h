// The one parameter table. Every face lists its parameters from here: the
// effect's own six, in the order hosts and stored projects address them, and
// the parameters a face adds around the effect (bypass, the program list).
// A value is a raw step, a whole number from 0 to the parameter's steps.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

enum ParamIndex : int32_t {
    kIngain = 0,    // 0..128
    kAttack = 1,    // 0..128
    kRelease = 2,   // 0..128
    kDrive = 3,     // 0..128
    kTimesTwo = 4,  // 0 or 1
    kBoost = 5,     // 0 or 1
};
constexpr int32_t kParamCount = 6;

/// One raw step of a knob as a fraction of its travel: 1/128.
constexpr float kRawStep = 0.0078125f;

enum class ParamKind {
    kKnob,     // a continuous control in steps
    kSwitch,   // off or on
    kBypass,   // a face's bypass switch
    kProgram,  // a face's program list: the value is a program number
    kOversampling,  // a face's choice of oversampling: the value n means 2^n times
};

// How a value reads.
enum class Shown {
    kDecibels,  // the input gain the step gives, in dB
    kPercent,   // the step as a percent of the travel
    kOnOff,
    kProgramName,
    kFactor,  // "Off", "2x", "4x", ...
};

struct ParamRow {
    uint32_t id;         // stable: what hosts and stored projects address
    const char* name;
    const char* unit;    // the label hosts show beside the value
    int32_t steps;       // the largest raw value
    float defaultRaw;    // program 0's value
    ParamKind kind;
    Shown shown;
    int32_t readoutKind;  // the editor's readout and knob index; -1: none
};

// The readout's kinds are the knobs' indices on the panel.
enum ReadoutKind : int32_t {
    kReadoutNone = -1,
    kReadoutDrive = 0,
    kReadoutAttack = 1,
    kReadoutRelease = 2,
    kReadoutIngain = 3,
};

constexpr std::array<ParamRow, kParamCount> kParameters = {{
    {kIngain, "Ingain", "db", 128, 64.0f, ParamKind::kKnob, Shown::kDecibels, kReadoutIngain},
    {kAttack, "Attack", "%", 128, 64.0f, ParamKind::kKnob, Shown::kPercent, kReadoutAttack},
    {kRelease, "Release", "%", 128, 64.0f, ParamKind::kKnob, Shown::kPercent, kReadoutRelease},
    {kDrive, "Drive", "%", 128, 0.0f, ParamKind::kKnob, Shown::kPercent, kReadoutDrive},
    {kTimesTwo, "Times Two", "", 1, 0.0f, ParamKind::kSwitch, Shown::kOnOff, kReadoutNone},
    {kBoost, "Boost", "", 1, 0.0f, ParamKind::kSwitch, Shown::kOnOff, kReadoutNone},
}};

// Face parameters: every face but VST 2 offers them, under these ids.
constexpr uint32_t kBypassId = 6;
constexpr uint32_t kProgramId = 7;
constexpr int32_t kProgramCount = 10;
constexpr ParamRow kBypassRow{kBypassId, "Bypass", "", 1, 0.0f, ParamKind::kBypass, Shown::kOnOff, kReadoutNone};
constexpr ParamRow kProgramRow{
    kProgramId, "Program", "", kProgramCount - 1, 0.0f, ParamKind::kProgram, Shown::kProgramName, kReadoutNone};
// Oversampling: Off, 2x, 4x, 8x, 16x. A face that offers it (not VST 2)
// reports the latency it adds.
constexpr uint32_t kOversamplingId = 8;
constexpr ParamRow kOversamplingRow{
    kOversamplingId, "Oversampling", "", 4, 0.0f, ParamKind::kOversampling, Shown::kFactor, kReadoutNone};
constexpr std::array<ParamRow, 3> kFaceParameters = {kBypassRow, kProgramRow, kOversamplingRow};

/// The oversampling factor of the Oversampling row's step: 1, 2, 4, 8, 16.
constexpr int32_t oversamplingFactorOf(float raw) {
    return raw >= 1.0f && raw <= 4.0f ? 1 << static_cast<int32_t>(raw) : 1;
}

/// Every parameter a face other than VST 2 lists: the effect's own, then the
/// face parameters, in this order.
constexpr int32_t kListedCount = kParamCount + static_cast<int32_t>(kFaceParameters.size());
/// The row at `index` of that list, 0..kListedCount - 1.
constexpr const ParamRow& listedParameter(int32_t index) {
    return index < kParamCount ? kParameters[static_cast<std::size_t>(index)]
                               : kFaceParameters[static_cast<std::size_t>(index - kParamCount)];
}

constexpr bool isParameter(int32_t index) { return index >= 0 && index < kParamCount; }
constexpr bool isProgram(int32_t index) { return index >= 0 && index < kProgramCount; }

/// The effect's parameter or face parameter with this id; null for none.
constexpr const ParamRow* parameterWithId(uint32_t id) {
    for (const ParamRow& row : kParameters) {
        if (row.id == id) return &row;
    }
    for (const ParamRow& row : kFaceParameters) {
        if (row.id == id) return &row;
    }
    return nullptr;
}

/// The readout kind a parameter announces (none for the switches and out of range).
constexpr int32_t readoutKindOf(int32_t index) { return isParameter(index) ? kParameters[index].readoutKind : kReadoutNone; }

/// The largest raw value of each of the effect's parameters.
constexpr std::array<float, kParamCount> kRawMaximum = [] {
    std::array<float, kParamCount> maximum{};
    for (int32_t i = 0; i < kParamCount; ++i) maximum[i] = static_cast<float>(kParameters[i].steps);
    return maximum;
}();

static_assert([] {
    for (const ParamRow& a : kParameters) {
        for (const ParamRow& b : kFaceParameters) {
            if (a.id == b.id) return false;
        }
    }
    return true;
}(), "every parameter has an id of its own");
static_assert(readoutKindOf(kDrive) == kReadoutDrive && readoutKindOf(kIngain) == kReadoutIngain &&
              readoutKindOf(kAttack) == kReadoutAttack && readoutKindOf(kRelease) == kReadoutRelease);
