// ShaperEffect: switching on and off, and the block entries, which ask the
// host about its pins and hand the block to the core's path.
#include "engine/shaper_effect.h"

void ShaperEffect::applySampleRate(float rate) {
    currentSampleRate = rate;
    setSampleRate(rate);
}

void ShaperEffect::switchOn() { EffectCore::switchOn(currentSampleRate, currentBlockSize); }

void ShaperEffect::switchOff() { EffectCore::switchOff(); }

void ShaperEffect::processReplace(float** inputs, float** outputs, int32_t sampleFrames) {
    processWithPins(inputs, outputs, sampleFrames, false);
}

void ShaperEffect::processAccumulate(float** inputs, float** outputs, int32_t sampleFrames) {
    processWithPins(inputs, outputs, sampleFrames, true);
}

void ShaperEffect::processWithPins(float** inputs, float** outputs, int32_t sampleFrames, bool accumulate) {
    if (!isSwitchedOn() || !inputs || !outputs) return;
    const Routing routing = routeBlock(inputs, outputs, [this](Pin pin, int32_t index) {
        return pin == Pin::kInput ? inputPinConnected(index) : outputPinConnected(index);
    });
    processBlock(routing, inputs, outputs, sampleFrames, accumulate);
}
