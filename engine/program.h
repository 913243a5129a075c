// One program: six normalised parameter values and a name.
#pragma once

#include <array>
#include <cstddef>

#include "engine/parameter_index.h"
#include "util/relaxed.h"

constexpr std::size_t kNameSize = 24;  // 23 characters and the terminator
using ParamName = std::array<char, kNameSize>;

struct ProgramRecord {
    std::array<Relaxed<float>, kParamCount> value{};
    ParamName name{};
};
