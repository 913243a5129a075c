// Where the controls sit on the panel and which parameter each one moves.
#pragma once

#include <cstdint>

#include "engine/shaper_effect.h"

namespace controls {

// Hit rectangles in client pixels, bounds inclusive.
struct HitRect {
    int left, top, right, bottom;
    bool contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// Knobs in hit-test order; the position is also the knob index, which is the
// readout kind of its parameter.
constexpr int kKnobCount = 4;
constexpr HitRect kKnobRect[kKnobCount] = {
    {279, 46, 327, 94},  // Drive
    {146, 46, 194, 94},  // Attack
    {209, 46, 257, 94},  // Release
    {77, 46, 125, 94},   // Input
};
constexpr int32_t kKnobParameter[kKnobCount] = {kDrive, kAttack, kRelease, kIngain};

constexpr HitRect kTimesTwoRect{347, 18, 367, 38};
constexpr HitRect kBoostRect{48, 87, 68, 107};
constexpr HitRect kLogoRect{458, 0, 490, 27};

enum class Hit { kKnob, kTimesTwo, kBoost, kLogo, kNothing };

struct HitResult {
    Hit what;
    int knob;  // for kKnob
};

inline HitResult hitTest(int x, int y) {
    for (int k = 0; k < kKnobCount; ++k) {
        if (kKnobRect[k].contains(x, y)) return {Hit::kKnob, k};
    }
    if (kTimesTwoRect.contains(x, y)) return {Hit::kTimesTwo, -1};
    if (kBoostRect.contains(x, y)) return {Hit::kBoost, -1};
    if (kLogoRect.contains(x, y)) return {Hit::kLogo, -1};
    return {Hit::kNothing, -1};
}

}  // namespace controls
