// EffectCore: switching on and off, and the block path.
#include <algorithm>
#include <cmath>
#include <new>

#include "core/denormals.h"
#include "core/effect_core.h"
#include "core/lanes.h"

namespace {
constexpr int32_t kSpareFrames = 600;
// Below 4410 Hz the envelope rates would leave the range where the follower is
// stable (attack rate above 1 per sample); such rates run as at 4410 Hz.
constexpr float kMaxRateScale = 10.0f;
// Work buffers are capped; longer blocks are processed in chunks.
constexpr int32_t kMaxWorkFrames = 1 << 16;
// Oversampled, a chunk goes through the drive stages in pieces of this many
// frames, so the top-rate buffers stay small whatever the block size.
constexpr int32_t kOversampledFrames = 1024;

struct GainPass {
    float peak;    // largest gained magnitude
    bool clipped;  // some gained sample beyond full scale
};

// Input gain into a work buffer; gained values below `threshold` in magnitude
// become 0. The meters see the gained value before that flush.
GainPass gainStage(const float* input, float* work, int32_t count, float gain, float threshold) {
    const Lanes g = splat(gain);
    const Lanes limit = splat(threshold);
    const Lanes zero = splat(0.0f);
    const Lanes one = splat(1.0f);
    const Lanes minusOne = splat(-1.0f);
    Lanes peak = zero;
    Lanes clip = zero;  // no lane set
    const auto gainFour = [&](const float* in, float* out) {
        Lanes w = loadLanes(in) * g;
        // A NaN would poison the stage state for good; it enters as silence.
        w = zeroWhere(unordered(w), w);
        clip = either(clip, either(greater(w, one), less(w, minusOne)));
        const Lanes level = magnitude(w);
        peak = larger(peak, level);
        storeLanes(out, zeroWhere(both(less(level, limit), greater(level, zero)), w));
    };
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) gainFour(input + i, work + i);
    if (i < count) {
        // The last few samples, padded with silence, which moves no meter.
        float in[4] = {};
        float out[4];
        std::copy(input + i, input + count, in);
        gainFour(in, out);
        std::copy(out, out + (count - i), work + i);
    }
    float lanes[4];
    storeLanes(lanes, peak);
    return {std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3])), anyLane(clip)};
}

void copyOut(float* output, const float* result, int32_t count, bool accumulate) {
    int32_t i = 0;
    if (accumulate) {
        for (; i + 4 <= count; i += 4) storeLanes(output + i, loadLanes(output + i) + loadLanes(result + i));
        for (; i < count; ++i) output[i] = output[i] + result[i];
    } else {
        std::copy_n(result, count, output);
    }
}

float rateScaleFor(float rate, float previous) {
    if (!(rate > 0.0f) || !std::isfinite(rate)) return previous;
    return std::min(44100.0f / rate, kMaxRateScale);
}
}  // namespace

void EffectCore::setSampleRate(float rate) {
    if (rate > 0.0f && std::isfinite(rate)) baseRate = rate;
    rateScale = rateScaleFor(rate * static_cast<float>(oversamplingFactor.load()), rateScale);
}

void EffectCore::setOversampling(int32_t factor) {
    const int32_t chosen = oversamplingOffered && Oversampler::isFactor(factor) ? factor : 1;
    // Hosts send a list's value again with every state and automation pass.
    if (chosen == oversamplingFactor.load()) return;
    oversamplingFactor = chosen;
    rateScale = rateScaleFor(baseRate * static_cast<float>(chosen), rateScale);
    // A derivation under way read the old rate: it must go again.
    changes.fetch_add(1, std::memory_order_seq_cst);
    publishCoefficients();
}

bool EffectCore::switchOn(float sampleRate, int32_t blockSize) {
    setSampleRate(sampleRate);

    // A second switch-on without a switch-off releases the earlier buffers.
    workAllocated = 0;
    workBuffers[0].reset();
    workBuffers[1].reset();
    const int32_t capacity = std::clamp<int32_t>(blockSize, 0, kMaxWorkFrames) + kSpareFrames;
    for (auto& buffer : workBuffers) {
        buffer.reset(new (std::nothrow) float[capacity + 1]);
        if (buffer) std::fill_n(buffer.get(), capacity, 0.0f);
    }
    bool allocated = workBuffers[0] && workBuffers[1];
    if (allocated && oversamplingOffered) {
        const std::size_t top = static_cast<std::size_t>(kOversampledFrames) * Oversampler::kMaxFactor;
        for (auto& buffer : upBuffers) buffer.reset(new (std::nothrow) float[top]);
        allocated = upBuffers[0] && upBuffers[1] && oversampler.allocate(kOversampledFrames);
        try {
            for (auto& delay : dryDelay)
                delay.assign(static_cast<std::size_t>(Oversampler::latencyFor(Oversampler::kMaxFactor)) + 1, 0.0f);
        } catch (const std::bad_alloc&) {
            allocated = false;
        }
        runningFactor = oversamplingFactor;
        oversampler.setFactor(runningFactor);
        dryPosition = 0;
    }
    if (allocated) {
        workAllocated = 1;
        workCapacity = capacity;
    } else {
        workBuffers[0].reset();
        workBuffers[1].reset();
        workCapacity = 0;
        workAllocated = 0;
        releaseOversampling();
    }

    updateReadout(kReadoutNone, 0);
    stageStates.fill(StageState{});
    // Without work buffers the effect stays switched off.
    mainsOn = allocated ? 1 : 0;
    display.peakRight = 0.0f;
    display.peakLeft = 0.0f;
    display.tubeGlow = 0.0f;
    return allocated;
}

void EffectCore::resetStages() {
    stageStates.fill(StageState{});
    display.peakRight = 0.0f;
    display.peakLeft = 0.0f;
    display.tubeGlow = 0.0f;
}

void EffectCore::switchOff() {
    if (workAllocated == 1) {
        workBuffers[0].reset();
        workBuffers[1].reset();
        workAllocated = 0;
        workCapacity = 0;
    }
    releaseOversampling();
    mainsOn = 0;
}

void EffectCore::releaseOversampling() {
    for (auto& buffer : upBuffers) buffer.reset();
    for (auto& delay : dryDelay) delay = {};
    oversampler.release();
}

void EffectCore::rememberDry(const float* const* inputs, int32_t frames) {
    const auto size = static_cast<int32_t>(dryDelay[0].size());
    if (size == 0) return;
    // Only the last `size` frames stay in the ring: copied in at most two pieces.
    const int32_t kept = std::min(frames, size);
    const auto start = static_cast<int32_t>((dryPosition + static_cast<int64_t>(frames - kept)) % size);
    const int32_t first = std::min(kept, size - start);
    for (int32_t ch = 0; ch < 2; ++ch) {
        if (!inputs[ch]) continue;
        const float* from = inputs[ch] + (frames - kept);
        std::copy_n(from, first, dryDelay[ch].data() + start);
        std::copy_n(from + first, kept - first, dryDelay[ch].data());
    }
    dryPosition = static_cast<int32_t>((dryPosition + static_cast<int64_t>(frames)) % size);
}

void EffectCore::bypassBlock(const float* const* inputs, float* const* outputs, int32_t frames) {
    const auto size = static_cast<int32_t>(dryDelay[0].size());
    if (size == 0) {
        for (int32_t ch = 0; ch < 2; ++ch) {
            if (!outputs[ch]) continue;
            if (!inputs[ch]) {
                std::fill_n(outputs[ch], frames, 0.0f);
            } else if (outputs[ch] != inputs[ch]) {
                std::copy_n(inputs[ch], frames, outputs[ch]);
            }
        }
        return;
    }
    const int32_t delay = std::min(latency(), size - 1);
    int32_t position = dryPosition;
    for (int32_t i = 0; i < frames; ++i) {
        // Both inputs are read before either output is written: buffers may be shared.
        const float in[2] = {inputs[0] ? inputs[0][i] : 0.0f, inputs[1] ? inputs[1][i] : 0.0f};
        const int32_t from = position - delay < 0 ? position - delay + size : position - delay;
        for (int32_t ch = 0; ch < 2; ++ch) {
            std::vector<float>& ring = dryDelay[ch];
            ring[static_cast<std::size_t>(position)] = in[ch];
            if (outputs[ch]) outputs[ch][i] = ring[static_cast<std::size_t>(from)];
        }
        position = position + 1 == size ? 0 : position + 1;
    }
    dryPosition = position;
}

void EffectCore::runDriveStages(const StagePlan& plan, const StageCoefficients& coefficients, const bool* use,
                                int32_t count) {
    float* work[2] = {workBuffers[0].get(), workBuffers[1].get()};
    if (runningFactor == 1) {
        runStages(stageStates.data(), work[0], work[1], count, plan, coefficients);
        return;
    }
    const int32_t factor = runningFactor;
    float* up[2] = {upBuffers[0].get(), upBuffers[1].get()};
    for (int32_t at = 0; at < count; at += kOversampledFrames) {
        const int32_t n = std::min(count - at, kOversampledFrames);
        for (int32_t ch = 0; ch < 2; ++ch) {
            if (use[ch]) {
                oversampler.up(ch, work[ch] + at, up[ch], n);
            } else {
                std::fill_n(up[ch], n * factor, 0.0f);
            }
        }
        runStages(stageStates.data(), up[0], up[1], n * factor, plan, coefficients);
        for (int32_t ch = 0; ch < 2; ++ch) {
            if (use[ch]) oversampler.down(ch, up[ch], work[ch] + at, n);
        }
    }
}

void EffectCore::processBlock(const Routing& routing, const float* const* inputs, float* const* outputs,
                              int32_t sampleFrames, bool accumulate) {
    if (mainsOn != 1) return;

    DenormalGuard denormalGuard;
    if (oversamplingOffered) {
        const int32_t factor = oversamplingFactor;
        if (factor != runningFactor) {
            oversampler.setFactor(factor);
            runningFactor = factor;
            // The bypass's delay starts from silence too, not from long-gone input.
            for (auto& delay : dryDelay) std::fill(delay.begin(), delay.end(), 0.0f);
        }
        // Without delay there is nothing for the bypass to catch up on. Before
        // any output is written: the outputs may be the inputs.
        if (runningFactor > 1) rememberDry(inputs, sampleFrames);
    }
    float* work[2] = {workBuffers[0].get(), workBuffers[1].get()};
    const bool use[2] = {routing.processLeft, routing.processRight};
    Relaxed<float>* peak[2] = {&display.peakLeft, &display.peakRight};

    // Coefficients are read once per block: a change from another thread
    // lands at the next block.
    const float gain = inputGain;
    const float threshold = flushThreshold;
    const StagePlan plan{use[0], use[1], static_cast<int32_t>(rawValue[kTimesTwo]) == 1,
                         static_cast<int32_t>(rawValue[kBoost]) != 0};
    const StageCoefficients coefficients{attackCoef, releaseCoef, driveAmount};

    const float* left = routing.results == Results::kRightToBoth ? work[1] : work[0];
    const float* right = routing.results == Results::kIndependent ? work[1] : left;
    float blockPeak[2] = {0.0f, 0.0f};
    bool clipped = false;
    for (int32_t start = 0; start < sampleFrames; start += workCapacity) {
        const int32_t count = std::min(sampleFrames - start, workCapacity);
        for (int ch = 0; ch < 2; ++ch) {
            if (use[ch]) {
                const GainPass pass = gainStage(inputs[ch] + start, work[ch], count, gain, threshold);
                blockPeak[ch] = std::max(blockPeak[ch], pass.peak);
                clipped = clipped || pass.clipped;
            } else {
                std::fill_n(work[ch], count, 0.0f);
            }
        }
        runDriveStages(plan, coefficients, use, count);
        if (routing.writeLeft) copyOut(outputs[0] + start, left, count, accumulate);
        if (routing.writeRight) copyOut(outputs[1] + start, right, count, accumulate);
    }

    // The meters only ever rise here; the editor lowers them.
    if (clipped) display.clipLevel = 1.0f;
    for (int ch = 0; ch < 2; ++ch) {
        if (use[ch] && blockPeak[ch] > *peak[ch]) *peak[ch] = blockPeak[ch];
    }
}
