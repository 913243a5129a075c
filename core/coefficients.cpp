#include "core/coefficients.h"

#include "core/parameters.h"

namespace {
constexpr float kFlushThreshold = 2.3283064e-10f;  // 2^-32

/// Envelope rate per sample: base / (scale x^2 + 1), x the raw value / 128.
float envelopeRate(float base, float rateScale, float scale, float raw) {
    const float x = raw * kRawStep;
    return base * rateScale / (scale * (x * x) + 1.0f);
}
}  // namespace

float inputGainFor(float g) {
    if (g > 64.0f) {
        const float d = (g - 65.0f) * 0.015384615f;
        const float d2 = d * d;
        return (1.0f - d2) + 6.66f * d2;
    }
    const float s = g * 0.015625f;
    const float e = s * s;
    return e - (1.0f - e) * -0.158f;
}

Coefficients deriveCoefficients(const KnobValues& raw, float rateScale) {
    return Coefficients{inputGainFor(raw.ingain), envelopeRate(0.1f, rateScale, 127.0f, raw.attack),
                        envelopeRate(0.08f, rateScale, 200.0f, raw.release), raw.drive * kRawStep, kFlushThreshold};
}
