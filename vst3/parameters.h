// The VST 3 face's parameters, from the core's table: the effect's own in the
// order and under the ids hosts and stored projects address (their VST 2
// indices), then the face's bypass and program list.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/parameters.h"
#include "platform/vst3/editing.h"

namespace vst3face {

constexpr int32_t kParameterCount = kParamCount + static_cast<int32_t>(kFaceParameters.size());
constexpr vst3::ProgramListID kProgramListId = 1;

/// The table row of the face's parameter at `index`, 0..kParameterCount - 1.
constexpr const ParamRow& parameterAt(int32_t index) {
    return index < kParamCount ? kParameters[static_cast<std::size_t>(index)]
                               : kFaceParameters[static_cast<std::size_t>(index - kParamCount)];
}

/// What a host may do with the parameter.
constexpr int32_t flagsOf(const ParamRow& row) {
    constexpr int32_t automate = vst3::ParameterInfo::kCanAutomate;
    switch (row.kind) {
        case ParamKind::kBypass:
            return automate | vst3::ParameterInfo::kIsBypass;
        case ParamKind::kProgram:
            return automate | vst3::ParameterInfo::kIsList | vst3::ParameterInfo::kIsProgramChange;
        case ParamKind::kOversampling:
            // A change of latency: hosts take it from the user, not from automation.
            return vst3::ParameterInfo::kIsList;
        case ParamKind::kKnob:
        case ParamKind::kSwitch:
            break;
    }
    return automate;
}

}  // namespace vst3face
