// The editor's per-frame animation and the cells it selects.
#include "editor/frame_cells.h"

#include <algorithm>
#include <cmath>

namespace {

// Animation constants, as 32-bit floats.
constexpr float kPeakCap = 1.3f;
constexpr float kGreenEnd = 0.7f;
constexpr float kFadeSpan = 3.3333333f;  // 1 / 0.3
constexpr float kDecay = 0.05f;
constexpr float kFadeStep = 0.05f;
constexpr float kGlowStep = 0.06f;

// Cell indices come from display values that another thread or a host value
// outside 0..1 can push anywhere (even to NaN); truncate toward zero, then
// keep the cell inside its strip.
int cellIndex(float value, int lowest, int highest) {
    if (std::isnan(value)) return lowest;
    const float truncated = std::trunc(value);
    if (truncated <= static_cast<float>(lowest)) return lowest;
    if (truncated >= static_cast<float>(highest)) return highest;
    return static_cast<int>(truncated);
}

// Lowers a display value, not below 0 (a NaN from upstream settles at 0 too).
float decayed(float value, float step) {
    const float next = value - step;
    return next >= 0.0f ? next : 0.0f;
}

float fadedToward(float fade, float raw) {
    if (std::trunc(raw) == 0.0f) return decayed(fade, kFadeStep);
    const float next = fade + kFadeStep;
    return next <= 1.0f ? next : 1.0f;
}

// LED brightness in steps 0..18.
int ledSteps(float brightness) { return cellIndex(brightness * static_cast<float>(panel::kLedCells), 0, panel::kLedCells); }

}  // namespace

int knobCell(float raw) {
    // The frame runs over the turning cells, less one: trunc(raw / 128 * 71 + 5).
    constexpr panel::Cells turn = panel::kKnobTurn;
    const float span = static_cast<float>(turn.last - turn.first);
    return cellIndex(raw * kRawStep * span + static_cast<float>(turn.first - 1), turn.first - 1, turn.last - 1) + 1;
}

FrameCells advanceFrame(EffectCore& effect) {
    DisplayState& display = effect.display;
    FrameCells cells;
    for (int k = 0; k < panel::kKnobCount; ++k) {
        cells.knob[k] = knobCell(effect.rawValue[panel::kControls[k].parameter]);
    }

    // Level LED: fully green up to 0.7, fading out towards 1.0, red above.
    float left = display.peakLeft;
    float right = display.peakRight;
    if (left > kPeakCap) display.peakLeft = left = kPeakCap;
    if (right > kPeakCap) display.peakRight = right = kPeakCap;
    const float level = std::max(left, right);
    float brightness;
    if (level < kGreenEnd) {
        brightness = 1.0f;
        cells.levelRow = panel::kGreenLedRow;
    } else if (level < 1.0f) {
        brightness = 1.0f - (level - kGreenEnd) * kFadeSpan;
        cells.levelRow = panel::kGreenLedRow;
    } else {
        brightness = std::min((level - 1.0f) * kFadeSpan, 1.0f);
        cells.levelRow = panel::kRedLedRow;
    }
    cells.levelLed = ledSteps(brightness);

    display.clipLevel = decayed(display.clipLevel, kDecay);
    display.peakLeft = decayed(display.peakLeft, kDecay);
    display.peakRight = decayed(display.peakRight, kDecay);

    // Tube: glows toward the drive, fully only with a second stage.
    const float share = (std::trunc(effect.rawValue[kTimesTwo]) == 1.0f ? 0.3f : 0.0f) + 0.7f;
    const float target = effect.driveAmount * share;
    float glow = display.tubeGlow;
    if (glow < target) {
        glow += kGlowStep;
        if (glow > target) glow = target;
    }
    if (glow > target) {
        glow -= kGlowStep;
        if (glow < target) glow = target;
    }
    display.tubeGlow = glow;
    cells.tube = cellIndex(glow * static_cast<float>(panel::kTubeCells - 1), 0, panel::kTubeCells - 1);

    // Circuit window: warms with the square of the Boost fade.
    const float boost = display.boostFade;
    cells.circuit = cellIndex(boost * boost * 13.0f, 0, 13) + 1;

    cells.timesTwoLed = ledSteps(display.x2Fade);
    display.x2Fade = fadedToward(display.x2Fade, effect.rawValue[kTimesTwo]);
    cells.boostLed = ledSteps(boost);
    display.boostFade = fadedToward(boost, effect.rawValue[kBoost]);
    return cells;
}
