// ShaperEffect: switching on and off, and the block path.
#include <algorithm>
#include <cmath>
#include <new>

#include "engine/denormals.h"
#include "engine/shaper_effect.h"

namespace {
constexpr int32_t kSpareFrames = 600;
// Below 4410 Hz the envelope rates would leave the range where the follower is
// stable (attack rate above 1 per sample); such rates run as at 4410 Hz.
constexpr float kMaxRateScale = 10.0f;
// Work buffers are capped; longer blocks are processed in chunks.
constexpr int32_t kMaxWorkFrames = 1 << 16;

enum class Routing { Independent, CopyLeft, CopyRight };

float rateScaleFor(float rate, float previous) {
    if (!(rate > 0.0f) || !std::isfinite(rate)) return previous;
    return std::min(44100.0f / rate, kMaxRateScale);
}
}  // namespace

void ShaperEffect::applySampleRate(float rate) {
    currentSampleRate = rate;
    rateScale = rateScaleFor(rate, rateScale);
}

void ShaperEffect::switchOn() {
    rateScale = rateScaleFor(currentSampleRate, rateScale);

    // A second switch-on without a switch-off releases the earlier buffers.
    workAllocated = 0;
    workBuffers[0].reset();
    workBuffers[1].reset();
    const int32_t blockSize = std::clamp<int32_t>(currentBlockSize, 0, kMaxWorkFrames);
    const int32_t capacity = blockSize + kSpareFrames;
    for (auto& buffer : workBuffers) {
        buffer.reset(new (std::nothrow) float[capacity + 1]);
        if (buffer) std::fill_n(buffer.get(), capacity, 0.0f);
    }
    const bool allocated = workBuffers[0] && workBuffers[1];
    if (allocated) {
        workAllocated = 1;
        workCapacity = capacity;
    } else {
        workBuffers[0].reset();
        workBuffers[1].reset();
        workCapacity = 0;
    }

    updateReadout(kReadoutNone, 0);
    if (stageStates) {
        for (int32_t i = 0; i < 4; ++i) stageStates[i] = StageState{};
    }
    // Without work buffers (or stage states) the effect stays switched off.
    mainsOn = allocated && stageStates ? 1 : 0;
    peakRight = 0.0f;
    peakLeft = 0.0f;
    tubeGlow = 0.0f;
}

void ShaperEffect::switchOff() {
    if (workAllocated == 1) {
        workBuffers[0].reset();
        workBuffers[1].reset();
        workAllocated = 0;
        workCapacity = 0;
    }
    mainsOn = 0;
}

void ShaperEffect::processReplace(float** inputs, float** outputs, int32_t sampleFrames) {
    processBlock(inputs, outputs, sampleFrames, false);
}

void ShaperEffect::processAccumulate(float** inputs, float** outputs, int32_t sampleFrames) {
    processBlock(inputs, outputs, sampleFrames, true);
}

void ShaperEffect::processBlock(float** inputs, float** outputs, int32_t sampleFrames, bool accumulate) {
    if (mainsOn != 1 || !inputs || !outputs) return;

    // Input routing: a mono host passes one buffer twice; otherwise the pins decide.
    bool useLeft = true;
    bool useRight = true;
    Routing routing = Routing::Independent;
    if (inputs[0] == inputs[1]) {
        useRight = false;
        routing = Routing::CopyLeft;
    } else {
        // Asked right first, then left; when they disagree, asked again left first.
        const bool right = inputPinConnected(1);
        const bool left = inputPinConnected(0);
        if (left != right) {
            useLeft = inputPinConnected(0);
            useRight = inputPinConnected(1);
            routing = useLeft ? Routing::CopyLeft : Routing::CopyRight;
        }
    }

    bool writeLeft = true;
    bool writeRight = true;
    if (outputs[0] == outputs[1]) {
        writeRight = false;
    } else {
        const bool left = outputPinConnected(0);
        const bool right = outputPinConnected(1);
        if (left != right) {
            writeLeft = outputPinConnected(0);
            writeRight = outputPinConnected(1);
        }
    }

    useLeft = useLeft && inputs[0];
    useRight = useRight && inputs[1];
    writeLeft = writeLeft && outputs[0];
    writeRight = writeRight && outputs[1];

    DenormalGuard denormalGuard;
    float* work[2] = {workBuffers[0].get(), workBuffers[1].get()};
    Relaxed<float>* peak[2] = {&peakLeft, &peakRight};
    const bool use[2] = {useLeft, useRight};

    for (int32_t start = 0; start < sampleFrames; start += workCapacity) {
        const int32_t count = std::min(sampleFrames - start, workCapacity);

        // Gain stage with metering.
        for (int32_t i = 0; i < count; ++i) {
            for (int ch = 0; ch < 2; ++ch) {
                if (!use[ch]) continue;
                float w = inputs[ch][start + i] * inputGain;
                // A NaN would poison the stage state for good; it enters as silence.
                if (std::isnan(w)) w = 0.0f;
                work[ch][i] = w;
                if (w > 1.0f || w < -1.0f) clipLevel = 1.0f;
                const float threshold = flushThreshold;
                if ((w > 0.0f && w < threshold) || (w < 0.0f && w > -threshold)) work[ch][i] = 0.0f;
                const float magnitude = std::fabs(w);
                if (magnitude > *peak[ch]) *peak[ch] = magnitude;
            }
        }

        // One or two drive stages per channel.
        const bool boost = static_cast<int32_t>(rawValue[kBoost]) != 0;
        const int passes = static_cast<int32_t>(rawValue[kTimesTwo]) == 1 ? 2 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            for (int ch = 0; ch < 2; ++ch) {
                if (!use[ch]) continue;
                const StageCoefficients coefficients{attackCoef, releaseCoef, driveAmount};
                runStage(stageStates[pass * 2 + ch], work[ch], count, boost, coefficients);
            }
        }

        // Copy out, overwriting or adding.
        const float* left = routing == Routing::CopyRight ? work[1] : work[0];
        const float* right = routing == Routing::Independent ? work[1] : left;
        for (int32_t i = 0; i < count; ++i) {
            if (writeLeft) {
                float& out = outputs[0][start + i];
                out = accumulate ? out + left[i] : left[i];
            }
            if (writeRight) {
                float& out = outputs[1][start + i];
                out = accumulate ? out + right[i] : right[i];
            }
        }
    }
}
