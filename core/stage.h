// The drive stage: an envelope follower steering how much of a folded
// parabolic shaper is mixed in, then a slope-dependent smoother.
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

// Which stages a block runs.
struct StagePlan {
    bool left;       // the left channel is processed
    bool right;      // the right channel is processed
    bool twoStages;  // "Times Two": stage 2 follows stage 1
    bool boost;
};

// A stage output below this magnitude becomes 0: 2^-23 * (1 + 2^-16).
constexpr float kStageFlush = 1.192111085e-7f;

/// Runs the stages of a block over `count` frames of `left` and `right`, in
/// place. `states` holds left stage 1, right stage 1, left stage 2, right
/// stage 2; a state the plan leaves out is not changed. The buffer of a channel
/// that is not processed must still hold `count` readable samples; they are
/// used as scratch.
void runStages(StageState* states, float* left, float* right, int32_t count, const StagePlan& plan,
               const StageCoefficients& coefficients);

/// Runs one stage over `count` samples of `buffer`, in place.
void runStage(StageState& state, float* buffer, int32_t count, bool boost,
              const StageCoefficients& coefficients);
