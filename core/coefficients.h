// The coefficient set the signal path runs with, derived from the four
// continuous raw values (0..128) and the rate scaling (44100 / sample rate).
#pragma once

struct KnobValues {
    float ingain;
    float attack;
    float release;
    float drive;
};

struct Coefficients {
    float inputGain;       // linear gain in front of the stages
    float attackCoef;      // envelope attack rate per sample
    float releaseCoef;     // envelope release rate per sample
    float driveAmount;     // 0..1
    float flushThreshold;  // gained inputs below it in magnitude become 0
};

/// inputGain: with g the Ingain raw value, e + 0.158 (1 - e), e = (g/64)^2,
///   up to 64; above it (1 - d^2) + 6.66 d^2, d = (g - 65)/65: 0.158 at 0,
///   1 at 64 and 65, 6.31705 at 128.
/// attackCoef = 0.1 s / (127 (A/128)^2 + 1), releaseCoef = 0.08 s / (200 (R/128)^2 + 1),
///   s the rate scaling.
/// driveAmount = D / 128; flushThreshold = 2^-32.
/// All in 32-bit float arithmetic, so every build derives the same bits.
Coefficients deriveCoefficients(const KnobValues& raw, float rateScale);

/// The linear input gain of an Ingain raw value, as deriveCoefficients gives it.
float inputGainFor(float ingain);
