// One frame of the editor worked out without a window: which picture cell
// every element shows, from the effect's values, while the display state's
// animations (falling meters, LED fades, tube glow) move on by one frame.
#pragma once

#include <array>

#include "editor/panel_layout.h"
#include "core/effect_core.h"

struct FrameCells {
    // Knob strip cell per knob, in the layout table's order.
    std::array<int, panel::kKnobCount> knob{};
    // LEDs and the tube: 0 shows the empty socket from the panel, k > 0 shows
    // cell k - 1 of the element's strip.
    int levelLed = 0;
    int levelRow = panel::kGreenLedRow;
    int tube = 0;
    int circuit = 1;  // circuit strip cell, 1..14
    int timesTwoLed = 0;
    int boostLed = 0;
};

/// The knob strip cell for a raw value 0..128: cells 6 to 77.
int knobCell(float raw);

/// Works out one frame and advances the animations of `effect.display`:
/// meters capped at 1.3 and lowered by 0.05, LED fades moved 0.05 toward
/// their switch, the tube glow moved at most 0.06 toward its target.
FrameCells advanceFrame(EffectCore& effect);
