#include "bench/baseline_block.h"

#include <cmath>

namespace baseline {

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
    const model::Coefficients stage{coefficients_.inputGain, coefficients_.attack, coefficients_.release,
                                    coefficients_.drive};
    for (int pass = 0; pass < (twoStages_ ? 2 : 1); ++pass) {
        for (int ch = 0; ch < 2; ++ch) {
            model::Stage& state = stages_[pass * 2 + ch];
            float* work = work_[ch].data();
            for (int32_t i = 0; i < frames; ++i) work[i] = state.run(work[i], boost_, stage);
        }
    }
    for (int32_t i = 0; i < frames; ++i) {
        outputs[0][i] = work_[0][i];
        outputs[1][i] = work_[1][i];
    }
}

}  // namespace baseline
