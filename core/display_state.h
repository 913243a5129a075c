// What the effect publishes for its editor: the meters the signal path
// raises, the readout a parameter change announces, and the animated values
// the editor moves from frame to frame. The effect owns it and never looks
// at an editor; an editor reads it and animates it.
//
// Every field is shared without a lock between the audio thread, whichever
// thread sets parameters, and the editor's tick: each is one relaxed atomic,
// so a lost or stale update shows for one frame at most.
#pragma once

#include <cstdint>

#include "core/readout_text.h"
#include "util/relaxed.h"

struct DisplayState {
    // Largest gained input magnitude per channel, raised by the signal path
    // and lowered by the editor.
    Relaxed<float> peakLeft{0.0f};
    Relaxed<float> peakRight{0.0f};
    // 1 after a gained sample beyond full scale; the editor lets it fall.
    Relaxed<float> clipLevel{0.0f};
    // Animated by the editor only: LED brightness and tube glow, 0..1.
    Relaxed<float> x2Fade{0.0f};
    Relaxed<float> boostFade{0.0f};
    Relaxed<float> tubeGlow{0.0f};

    // The value readout: its text, which control it shows (a ReadoutKind of
    // core/parameters.h),
    // and how many editor ticks a readout announced by a host-side change
    // stays up.
    ReadoutText readoutText;
    Relaxed<int32_t> readoutKind{0};
    Relaxed<int32_t> readoutHold{0};
};
