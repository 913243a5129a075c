// A straightforward per-sample model of the drive effect, written from the
// formulas and kept apart from the engine: one channel at a time, one stage at
// a time, no chunking, no shared state. Golden tests compare the plug-in
// against it sample for sample.
#pragma once

#include <array>
#include <vector>

#include "tests/support/plain_stage.h"

namespace model {

/// Raw values Ingain, Attack, Release, Drive (0..128), Times Two, Boost (0/1).
using RawValues = std::array<float, 6>;

Coefficients derive(const RawValues& raw, float sampleRate);

/// One instance of the effect from switch-on, stereo, both pins connected.
class Effect {
public:
    Effect(const RawValues& raw, float sampleRate);
    void process(std::vector<float>& left, std::vector<float>& right);
    float peakLeft = 0, peakRight = 0, clipLevel = 0;

private:
    RawValues raw_;
    Coefficients c_;
    std::array<Stage, 4> stages_;
};

/// The factory programs in raw units.
extern const std::array<RawValues, 10> kFactoryPrograms;

}  // namespace model
