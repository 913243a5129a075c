// The VST 3 face's parameters: the effect's six in VST 2 order (ids are the
// VST 2 indices, which hosts and stored projects address), then bypass and the
// program change.
#pragma once

#include <array>
#include <cstdint>

#include "engine/parameter_index.h"
#include "platform/vst3/editing.h"

namespace vst3face {

constexpr int32_t kEffectParameterCount = kParamCount;
constexpr vst3::ParamID kBypassId = 6;
constexpr vst3::ParamID kProgramId = 7;
constexpr int32_t kParameterCount = 8;

constexpr int32_t kFactoryProgramCount = 10;
constexpr vst3::ProgramListID kProgramListId = 1;

/// What a host is told of each parameter beyond the effect's own texts.
struct ParameterRow {
    vst3::ParamID id;
    int32_t stepCount;
    int32_t flags;
};

constexpr int32_t kKnob = vst3::ParameterInfo::kCanAutomate;
constexpr std::array<ParameterRow, kParameterCount> kParameterRows = {{
    {0, 128, kKnob},
    {1, 128, kKnob},
    {2, 128, kKnob},
    {3, 128, kKnob},
    {4, 1, kKnob},
    {5, 1, kKnob},
    {kBypassId, 1, vst3::ParameterInfo::kCanAutomate | vst3::ParameterInfo::kIsBypass},
    {kProgramId, kFactoryProgramCount - 1,
     vst3::ParameterInfo::kCanAutomate | vst3::ParameterInfo::kIsList | vst3::ParameterInfo::kIsProgramChange},
}};

/// The index of a discrete parameter's value: n + 1 equal parts of 0..1 for
/// n steps, as hosts map list entries.
inline int32_t listIndex(double normalized, int32_t stepCount) {
    if (!(normalized > 0.0)) return 0;
    if (normalized >= 1.0) return stepCount;
    const auto index = static_cast<int32_t>(normalized * (stepCount + 1));
    return index > stepCount ? stepCount : index;
}

}  // namespace vst3face
