// The coefficient set, and the effect's value readout and report operations.
#include "engine/coefficients.h"

#include <cmath>

#include "engine/shaper_effect.h"

namespace {
constexpr float kFlushThreshold = 2.3283064e-10f;  // 2^-32
constexpr int32_t kReadoutHoldTicks = 20;

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

/// Envelope rate per sample: base / (scale x^2 + 1), x the raw value / 128.
float envelopeRate(float base, float rateScale, float scale, float raw) {
    const float x = raw * kRawStep;
    return base * rateScale / (scale * (x * x) + 1.0f);
}
}  // namespace

Coefficients deriveCoefficients(const KnobValues& raw, float rateScale) {
    return Coefficients{inputGainFor(raw.ingain), envelopeRate(0.1f, rateScale, 127.0f, raw.attack),
                        envelopeRate(0.08f, rateScale, 200.0f, raw.release), raw.drive * kRawStep, kFlushThreshold};
}

void ShaperEffect::updateReadout(int32_t kind, uint8_t hold) {
    const Coefficients derived =
        deriveCoefficients({rawValue[kIngain], rawValue[kAttack], rawValue[kRelease], rawValue[kDrive]}, rateScale);
    flushThreshold = derived.flushThreshold;
    inputGain = derived.inputGain;
    attackCoef = derived.attackCoef;
    releaseCoef = derived.releaseCoef;
    driveAmount = derived.driveAmount;

    if (kind == kReadoutNone) {
        display.readoutText.clear();
        return;
    }
    if (hold == 1) display.readoutHold = kReadoutHoldTicks;
    writeReadoutValue(kind);
}

void ShaperEffect::writeReadoutValue(int32_t kind) {
    float value = 0.0f;
    int8_t used = 4;
    switch (kind) {
        case kReadoutDrive:
            value = driveAmount * 100.0f;
            break;
        case kReadoutAttack:
            value = rawValue[kAttack] * kRawStep * 100.0f;
            break;
        case kReadoutRelease:
            value = rawValue[kRelease] * kRawStep * 100.0f;
            break;
        case kReadoutIngain:
            value = static_cast<float>(20.0 * std::log10(static_cast<double>(inputGain)));
            used = 3;
            break;
        default:
            return;
    }
    char text[32] = {};
    floatToText(value, text, used);
    display.readoutText.assign(text);
}

void ShaperEffect::reportParameter(int32_t index) {
    if (index < 0 || index >= kParamCount) return;
    announceChange = 0;
    automateParameter(index, rawValue[index] / rawMaximum[index]);
}

void ShaperEffect::editParameters(std::initializer_list<RawEdit> edits) {
    // Every value is in place before the first report, so a host that reads
    // the parameters back while it takes a report sees the whole change.
    for (const RawEdit& edit : edits) {
        if (edit.index >= 0 && edit.index < kParamCount) rawValue[edit.index] = edit.raw;
    }
    for (const RawEdit& edit : edits) reportParameter(edit.index);
}

void ShaperEffect::resetEditorState() {
    rawValue = {64.0f, 64.0f, 64.0f, 0.0f, 0.0f, 0.0f};
    display.clipLevel = 0.0f;
    display.readoutText.clear();
    display.readoutHold = 0;
    display.readoutKind = 0;
    display.peakRight = 0.0f;
    display.peakLeft = 0.0f;
    display.tubeGlow = 0.0f;
    display.readoutText.terminateStorage();
}
