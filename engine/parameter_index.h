// The effect's six parameters by index, in the order hosts address them.
#pragma once

#include <cstdint>

constexpr int32_t kParamCount = 6;

enum ParamIndex : int32_t {
    kIngain = 0,    // 0..128
    kAttack = 1,    // 0..128
    kRelease = 2,   // 0..128
    kDrive = 3,     // 0..128
    kTimesTwo = 4,  // 0 or 1
    kBoost = 5,     // 0 or 1
};

/// One raw step of a knob as a fraction of its travel: 1/128.
constexpr float kRawStep = 0.0078125f;
