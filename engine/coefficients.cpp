// ShaperEffect: the coefficient set and the editor's value readout.
#include <cmath>

#include "editor/skin_editor.h"
#include "engine/shaper_effect.h"

namespace {
constexpr float kFlushThreshold = 2.3283064e-10f;  // 2^-32
constexpr float kStep = 0.0078125f;                // 1/128
constexpr int32_t kReadoutHoldTicks = 20;

/// Linear input gain for the Ingain raw value g: e + 0.158 (1 - e) with
/// e = (g/64)^2 up to 64, then 1 + 5.66 d^2 with d = (g - 65)/65 above it.
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
    const float x = raw * kStep;
    return base * rateScale / (scale * (x * x) + 1.0f);
}
}  // namespace

void ShaperEffect::updateReadout(int32_t kind, uint8_t hold) {
    flushThreshold = kFlushThreshold;
    inputGain = inputGainFor(rawValue[kIngain]);
    attackCoef = envelopeRate(0.1f, rateScale, 127.0f, rawValue[kAttack]);
    releaseCoef = envelopeRate(0.08f, rateScale, 200.0f, rawValue[kRelease]);
    driveAmount = rawValue[kDrive] * kStep;

    if (!skinEditor) return;
    if (kind == kReadoutNone) {
        skinEditor->readoutText.clear();
        return;
    }
    if (hold == 1) skinEditor->readoutHold = kReadoutHoldTicks;
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
            value = rawValue[kAttack] * kStep * 100.0f;
            break;
        case kReadoutRelease:
            value = rawValue[kRelease] * kStep * 100.0f;
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
    skinEditor->readoutText.assign(text);
}

void ShaperEffect::reportParameter(int32_t index) {
    if (index < 0 || index >= kParamCount) return;
    announceChange = 0;
    automateParameter(index, rawValue[index] / rawMaximum[index]);
}

void ShaperEffect::resetEditorState() {
    rawValue = {64.0f, 64.0f, 64.0f, 0.0f, 0.0f, 0.0f};
    clipLevel = 0.0f;
    peakRight = 0.0f;
    peakLeft = 0.0f;
    tubeGlow = 0.0f;
    if (!skinEditor) return;
    SkinEditor& editor = *skinEditor;
    editor.readoutText.clear();
    editor.readoutHold = 0;
    editor.readoutKind = 0;
    editor.savedDrive = 0.0f;
    editor.redrawMode = 1;
    editor.isOpen = 0;
    editor.dragMode = 0;
    editor.activeControl = 255;
    editor.readoutText.terminateStorage();
}
