// The drive stage written the plain way: one sample at a time, straight from
// the formulas, one branch per rule. The reference model the golden tests
// compare with and the benchmarks' baseline both run this one stage, so the
// two can never drift apart. Inline, so that the baseline pays no call per sample.
#pragma once

#include <cmath>

namespace model {

struct Coefficients {
    float inputGain;
    float attack;
    float release;
    float drive;
};

struct Stage {
    float envelope = 0, weight = 0, smoothed = 0, lastShaped = 0;

    /// One sample through the stage; answers the flushed output.
    float run(float input, bool boost, const Coefficients& co) {
        float x = input;
        if (x > 1.0f) x = 1.0f;
        if (x < -1.0f) x = -1.0f;
        const float u = std::fabs(x);
        const float e0 = envelope;
        const float cube = (1.0f - e0) * (1.0f - e0) * (1.0f - e0);
        const float c = boost ? co.drive * cube : co.drive * (cube * cube);
        if (u > envelope) {
            if (boost) {
                envelope = envelope + (u - envelope) * co.attack;
            } else {
                envelope = envelope + (u - envelope) * co.attack * c;
            }
        }
        if (envelope > u) {
            if (boost) {
                const float q = envelope - u;
                envelope = envelope - q * q * ((1.01f - c) * (1.01f - c)) * co.release;
            } else {
                envelope = envelope - (envelope - u) * co.release * (envelope * envelope);
            }
        }
        weight = (weight + c) * 0.5f;
        const float k = weight;
        float t = 2.0f * u;
        if (t > 1.0f) t = 1.0f - (t - 1.0f);
        float g = 2.0f * t * (1.0f - 0.5f * t);
        if (x < 0.0f) g = -g;
        const float y = k * g + x * (1.0f - k * k);
        float d = std::fabs(y - lastShaped);
        if (d > 1.0f) d = 1.0f;
        lastShaped = y;
        if (boost) {
            smoothed = smoothed + (y - smoothed) * (1.0f - k * k * d);
        } else {
            smoothed = smoothed + (y - smoothed) * (1.0f - k * d);
        }
        const float flush = 1.192111085e-7f;  // 2^-23 (1 + 2^-16)
        if ((smoothed > 0.0f && smoothed < flush) || (smoothed < 0.0f && smoothed > -flush)) return 0.0f;
        return smoothed;
    }
};

}  // namespace model
