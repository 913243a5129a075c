// The drive stage, sample by sample. Every stored value is a 32-bit float.
#include "engine/stage.h"

#include <cmath>

namespace {
constexpr float kMixCeiling = 1.01f;  // keeps the Boost release alive at full weight
}

void runStage(StageState& state, float* buffer, int32_t count, bool boost,
              const StageCoefficients& coefficients) {
    const float a = coefficients.attack;
    const float r = coefficients.release;
    const float drive = coefficients.drive;
    StageState s = state;
    for (int32_t i = 0; i < count; ++i) {
        // Clamp the stage input to full scale.
        float x = buffer[i];
        if (x > 1.0f) x = 1.0f;
        if (x < -1.0f) x = -1.0f;
        const float u = std::fabs(x);

        // Shaping weight c = D (1 - e0)^6, or D (1 - e0)^3 with Boost.
        const float open = 1.0f - s.envelope;
        const float open3 = open * open * open;
        const float c = boost ? drive * open3 : drive * (open3 * open3);

        // Envelope: attack toward u, then release, each on the envelope as it stands.
        if (u > s.envelope) {
            s.envelope = boost ? s.envelope + (u - s.envelope) * a
                               : s.envelope + (u - s.envelope) * a * c;
        }
        if (s.envelope > u) {
            if (boost) {
                const float q = s.envelope - u;
                const float slack = kMixCeiling - c;
                s.envelope = s.envelope - q * q * (slack * slack) * r;
            } else {
                s.envelope = s.envelope - (s.envelope - u) * r * (s.envelope * s.envelope);
            }
        }
        s.weight = (s.weight + c) * 0.5f;
        const float k = s.weight;

        // Folded parabola: 4u(1 - u) for 0 <= u <= 1, odd in x.
        float t = 2.0f * u;
        if (t > 1.0f) t = 1.0f - (t - 1.0f);
        float g = 2.0f * t * (1.0f - 0.5f * t);
        if (x < 0.0f) g = -g;

        const float y = k * g + x * (1.0f - k * k);
        float d = std::fabs(y - s.lastShaped);
        if (d > 1.0f) d = 1.0f;
        s.lastShaped = y;

        // The smoother holds back more where the shaped signal moves fast.
        const float follow = boost ? 1.0f - k * k * d : 1.0f - k * d;
        s.smoothed = s.smoothed + (y - s.smoothed) * follow;

        const float out = s.smoothed;
        buffer[i] = (out > 0.0f && out < kStageFlush) || (out < 0.0f && out > -kStageFlush) ? 0.0f : out;
    }
    state = s;
}
