#include "bench/baseline_block.h"

#include <cmath>

namespace baseline {
namespace {

void runStage(StageState& s, float* buffer, int32_t count, bool boost, const Coefficients& co) {
    for (int32_t i = 0; i < count; ++i) {
        float x = buffer[i];
        if (x > 1.0f) x = 1.0f;
        if (x < -1.0f) x = -1.0f;
        const float u = std::fabs(x);
        const float e0 = s.envelope;
        const float cube = (1.0f - e0) * (1.0f - e0) * (1.0f - e0);
        const float c = boost ? co.drive * cube : co.drive * (cube * cube);
        if (u > s.envelope) {
            if (boost) {
                s.envelope = s.envelope + (u - s.envelope) * co.attack;
            } else {
                s.envelope = s.envelope + (u - s.envelope) * co.attack * c;
            }
        }
        if (s.envelope > u) {
            if (boost) {
                const float q = s.envelope - u;
                s.envelope = s.envelope - q * q * ((1.01f - c) * (1.01f - c)) * co.release;
            } else {
                s.envelope = s.envelope - (s.envelope - u) * co.release * (s.envelope * s.envelope);
            }
        }
        s.weight = (s.weight + c) * 0.5f;
        const float k = s.weight;
        float t = 2.0f * u;
        if (t > 1.0f) t = 1.0f - (t - 1.0f);
        float g = 2.0f * t * (1.0f - 0.5f * t);
        if (x < 0.0f) g = -g;
        const float y = k * g + x * (1.0f - k * k);
        float d = std::fabs(y - s.lastShaped);
        if (d > 1.0f) d = 1.0f;
        s.lastShaped = y;
        if (boost) {
            s.smoothed = s.smoothed + (y - s.smoothed) * (1.0f - k * k * d);
        } else {
            s.smoothed = s.smoothed + (y - s.smoothed) * (1.0f - k * d);
        }
        const float flush = 1.192111085e-7f;
        if ((s.smoothed > 0.0f && s.smoothed < flush) || (s.smoothed < 0.0f && s.smoothed > -flush)) {
            buffer[i] = 0.0f;
        } else {
            buffer[i] = s.smoothed;
        }
    }
}

}  // namespace

Block::Block(const Coefficients& coefficients, bool boost, bool twoStages, int32_t blockSize)
    : coefficients_(coefficients), boost_(boost), twoStages_(twoStages) {
    for (auto& buffer : work_) buffer.assign(std::size_t(blockSize) + 601, 0.0f);
}

void Block::process(const float* const* inputs, float* const* outputs, int32_t frames) {
    float* peaks[2] = {&peakLeft, &peakRight};
    for (int32_t i = 0; i < frames; ++i) {
        for (int ch = 0; ch < 2; ++ch) {
            float* work = work_[ch].data();
            work[i] = inputs[ch][i] * coefficients_.inputGain;
            const float w = work[i];
            if (w > 1.0f || w < -1.0f) clipLevel = 1.0f;
            const float threshold = coefficients_.flushThreshold;
            if ((w > 0.0f && w < threshold) || (w < 0.0f && w > -threshold)) work[i] = 0.0f;
            if (std::fabs(w) > *peaks[ch]) *peaks[ch] = std::fabs(w);
        }
    }
    for (int pass = 0; pass < (twoStages_ ? 2 : 1); ++pass) {
        for (int ch = 0; ch < 2; ++ch) {
            runStage(stages_[pass * 2 + ch], work_[ch].data(), frames, boost_, coefficients_);
        }
    }
    for (int32_t i = 0; i < frames; ++i) {
        outputs[0][i] = work_[0][i];
        outputs[1][i] = work_[1][i];
    }
}

}  // namespace baseline
