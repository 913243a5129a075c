#include "core/oversampler.h"

#include <algorithm>
#include <new>

#include "core/halfband_taps.h"
#include "core/lanes.h"

namespace {

struct Design {
    const float* side;
    int32_t taps;  // m + 1
};
constexpr int32_t countOf(const float* begin, const float* end) { return static_cast<int32_t>(end - begin); }
const Design kDesigns[4] = {
    {kStage1, countOf(std::begin(kStage1), std::end(kStage1))},
    {kStage2, countOf(std::begin(kStage2), std::end(kStage2))},
    {kStage3, countOf(std::begin(kStage3), std::end(kStage3))},
    {kStage4, countOf(std::begin(kStage4), std::end(kStage4))},
};

int32_t stagesFor(int32_t factor) {
    switch (factor) {
    case 2: return 1;
    case 4: return 2;
    case 8: return 3;
    case 16: return 4;
    default: return 0;
    }
}

// The stage's delay at its higher rate: the filter's centre, 2m + 1.
int32_t centreOf(const Design& design) { return 2 * design.taps - 1; }

// Filters delay in top-rate samples, before padding.
int32_t filterDelay(int32_t stages) {
    int32_t total = 0;
    for (int32_t k = 0; k < stages; ++k) total += 2 * centreOf(kDesigns[k]) << (stages - 1 - k);
    return total;
}

int32_t paddingFor(int32_t factor) {
    const int32_t delay = filterDelay(stagesFor(factor));
    return (factor - delay % factor) % factor;
}

// The symmetric sum over the 2m + 2 even taps for 4 outputs at once:
// sum_j side[j] (x[i - j] + x[i - 2m - 1 + j]), j = 0..m, in that order, so
// that the lanes and the scalar tail give the same bits. `spread` holds each
// tap four times, ready as lanes.
inline Lanes fourSums(const float* x, const float* spread, int32_t taps) {
    Lanes acc = splat(0.0f);
    const int32_t span = 2 * taps - 1;
    const float* far = x - span;
    int32_t j = 0;
    for (; j + 2 <= taps; j += 2) {
        acc = acc + loadLanes(spread + 4 * j) * (loadLanes(x - j) + loadLanes(far + j));
        acc = acc + loadLanes(spread + 4 * j + 4) * (loadLanes(x - j - 1) + loadLanes(far + j + 1));
    }
    if (j < taps) acc = acc + loadLanes(spread + 4 * j) * (loadLanes(x - j) + loadLanes(far + j));
    return acc;
}

inline float oneSum(const float* x, const float* side, int32_t taps) {
    float acc = 0.0f;
    const int32_t span = 2 * taps - 1;
    for (int32_t j = 0; j < taps; ++j) acc = acc + side[j] * (x[-j] + x[-span + j]);
    return acc;
}

}  // namespace

bool Oversampler::isFactor(int32_t factor) { return factor == 1 || stagesFor(factor) > 0; }

int32_t Oversampler::latencyFor(int32_t factor) {
    if (!isFactor(factor) || factor == 1) return 0;
    return (filterDelay(stagesFor(factor)) + paddingFor(factor)) / factor;
}

bool Oversampler::allocate(int32_t frames) {
    release();
    try {
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            for (int32_t k = 0; k < 4; ++k) {
                const Design& design = kDesigns[k];
                for (Stage* stage : {&upStages_[ch][k], &downStages_[ch][k]}) {
                    stage->taps = design.taps;
                    stage->side = design.side;
                    stage->spread.resize(static_cast<std::size_t>(design.taps) * 4);
                    for (int32_t j = 0; j < design.taps; ++j)
                        std::fill_n(stage->spread.begin() + 4 * j, 4, design.side[j]);
                    stage->history.assign(static_cast<std::size_t>(centreOf(design)), 0.0f);
                }
                downStages_[ch][k].odd.assign(static_cast<std::size_t>(design.taps), 0.0f);
            }
            pad_[ch].assign(kMaxFactor, 0.0f);
        }
        // The longest stage input (the top one's, at half the top rate) with its history.
        scratch_.assign(static_cast<std::size_t>(frames) * kMaxFactor + 2 * kDesigns[0].taps + kMaxFactor, 0.0f);
    } catch (const std::bad_alloc&) {
        release();
        return false;
    }
    capacity_ = frames;
    return true;
}

void Oversampler::release() {
    for (auto& stages : upStages_) stages = {};
    for (auto& stages : downStages_) stages = {};
    for (auto& pad : pad_) pad = {};
    scratch_ = {};
    capacity_ = 0;
}

void Oversampler::setFactor(int32_t factor) {
    factor_ = isFactor(factor) ? factor : 1;
    clear();
}

void Oversampler::clear() {
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        for (int32_t k = 0; k < 4; ++k) {
            std::fill(upStages_[ch][k].history.begin(), upStages_[ch][k].history.end(), 0.0f);
            std::fill(downStages_[ch][k].history.begin(), downStages_[ch][k].history.end(), 0.0f);
            std::fill(downStages_[ch][k].odd.begin(), downStages_[ch][k].odd.end(), 0.0f);
        }
        std::fill(pad_[ch].begin(), pad_[ch].end(), 0.0f);
    }
}

// y[2i] = 2 sum_j e[j] x[i - j], y[2i + 1] = x[i - m]: the zero-stuffed input
// through the half-band filter, with the gain of 2 the stuffing took.
void Oversampler::interpolate(Stage& stage, const float* in, float* out, int32_t count) {
    const int32_t m = stage.taps - 1;
    const int32_t history = 2 * m + 1;
    float* x = scratch_.data();
    std::copy(stage.history.begin(), stage.history.end(), x);
    std::copy_n(in, count, x + history);
    const float* now = x + history;  // now[i] is input i; now[i - k] reaches back into the history
    int32_t i = 0;
    const Lanes two = splat(2.0f);
    for (; i + 4 <= count; i += 4)
        storeInterleaved(out + 2 * i, two * fourSums(now + i, stage.spread.data(), stage.taps), loadLanes(now + i - m));
    for (; i < count; ++i) {
        out[2 * i] = 2.0f * oneSum(now + i, stage.side, stage.taps);
        out[2 * i + 1] = now[i - m];
    }
    std::copy(x + count, x + count + history, stage.history.begin());
}

// y[i] = sum_j e[j] x[2(i - j)] + x[2(i - m - 1) + 1] / 2.
void Oversampler::decimate(Stage& stage, const float* in, float* out, int32_t count) {
    const int32_t m = stage.taps - 1;
    const int32_t history = 2 * m + 1;
    float* even = scratch_.data();
    std::copy(stage.history.begin(), stage.history.end(), even);
    const float* now = even + history;
    // The odd samples, each needed m + 1 outputs later: taken before they are overwritten.
    float* odd = even + history + count;
    std::copy(stage.odd.begin(), stage.odd.end(), odd);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        Lanes e, o;
        loadDeinterleaved(in + 2 * i, e, o);
        storeLanes(even + history + i, e);
        storeLanes(odd + m + 1 + i, o);
    }
    for (; i < count; ++i) {
        even[history + i] = in[2 * i];
        odd[m + 1 + i] = in[2 * i + 1];
    }
    i = 0;
    const Lanes half = splat(0.5f);
    for (; i + 4 <= count; i += 4)
        storeLanes(out + i, fourSums(now + i, stage.spread.data(), stage.taps) + half * loadLanes(odd + i));
    for (; i < count; ++i) out[i] = oneSum(now + i, stage.side, stage.taps) + 0.5f * odd[i];
    std::copy(even + count, even + count + history, stage.history.begin());
    std::copy(odd + count, odd + count + m + 1, stage.odd.begin());
}

void Oversampler::up(int32_t channel, const float* in, float* out, int32_t count) {
    const int32_t stages = stagesFor(factor_);
    if (stages == 0) {
        std::copy_n(in, count, out);
        return;
    }
    // Each stage writes the upper part of `out`'s room and the next reads it
    // from there, so the last one ends where it should, at the start.
    const float* from = in;
    for (int32_t k = 0; k < stages; ++k) {
        const int32_t produced = count << (k + 1);
        float* to = out + (static_cast<std::size_t>(count) * factor_ - produced);
        interpolate(upStages_[channel][k], from, to, count << k);
        from = to;
    }
}

void Oversampler::down(int32_t channel, float* in, float* out, int32_t count) {
    const int32_t stages = stagesFor(factor_);
    if (stages == 0) {
        std::copy_n(in, count, out);
        return;
    }
    // The padding that makes the round trip whole base-rate samples.
    const int32_t total = count * factor_;
    const int32_t padding = paddingFor(factor_);
    if (padding > 0) {
        float* delayed = scratch_.data();
        std::copy_n(pad_[channel].data(), padding, delayed);
        std::copy_n(in, total, delayed + padding);
        std::copy_n(delayed, total, in);
        std::copy_n(delayed + total, padding, pad_[channel].data());
    }
    // Halving in place: stage k reads 2n samples and writes n over their start.
    int32_t length = total;
    for (int32_t k = stages - 1; k >= 0; --k) {
        length /= 2;
        decimate(downStages_[channel][k], in, k == 0 ? out : in, length);
    }
}
