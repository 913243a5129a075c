// The block path written the plain way, for comparison: gain stage into work
// buffers, then one whole pass of the plain per-sample stage per stage and
// channel, then copy-out. Stereo, both pins connected, replacing. It keeps its
// own state and never touches the plug-in.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tests/support/plain_stage.h"

namespace baseline {

struct Coefficients {
    float inputGain;
    float attack;
    float release;
    float drive;
    float flushThreshold;
};

class Block {
public:
    Block(const Coefficients& coefficients, bool boost, bool twoStages, int32_t blockSize);
    void process(const float* const* inputs, float* const* outputs, int32_t frames);

    float peakLeft = 0.0f;
    float peakRight = 0.0f;
    float clipLevel = 0.0f;

private:
    Coefficients coefficients_;
    bool boost_;
    bool twoStages_;
    std::array<model::Stage, 4> stages_{};
    std::array<std::vector<float>, 2> work_;
};

}  // namespace baseline
