// One drive stage of one channel: an envelope follower steering how much of a
// folded parabolic shaper is mixed in, then a slope-dependent smoother.
#pragma once

#include <cstdint>

struct StageState {
    float envelope = 0.0f;
    float weight = 0.0f;      // k, the smoothed shaping weight
    float smoothed = 0.0f;    // the smoother's state; the output before flushing
    float lastShaped = 0.0f;  // y of the previous sample
};

// Coefficients a pass reads once, at its start.
struct StageCoefficients {
    float attack;   // a
    float release;  // r
    float drive;    // D
};

// A stage output below this magnitude becomes 0: 2^-23 * (1 + 2^-16).
constexpr float kStageFlush = 1.192111085e-7f;

/// Runs one stage over `count` samples of `buffer`, in place.
void runStage(StageState& state, float* buffer, int32_t count, bool boost,
              const StageCoefficients& coefficients);
