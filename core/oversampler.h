// Brings a signal up to 2, 4, 8 or 16 times its rate and back down, so that
// a wave-shaper can run where its harmonics do not fold back into the audio
// band. Each doubling is a half-band stage (core/halfband_taps.h): flat to
// 0.45 of the lower rate, 120 dB down from 0.55 of it on the first stage,
// where folding would land in the band; the later stages only remove images
// far above what passed, so they are short. The delay of the whole round
// trip is padded to whole base-rate samples, so hosts can be told it exactly.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class Oversampler {
public:
    static constexpr int32_t kMaxFactor = 16;
    static constexpr int32_t kChannels = 2;

    /// The factors there are: 1 (off), 2, 4, 8, 16.
    static bool isFactor(int32_t factor);
    /// The round trip's delay at `factor`, in base-rate samples (0 at 1).
    static int32_t latencyFor(int32_t factor);

    /// Buffers for blocks of up to `frames` base-rate frames at any factor;
    /// false (and nothing held) when they cannot be had.
    bool allocate(int32_t frames);
    void release();
    bool allocated() const { return capacity_ > 0; }

    /// Takes `factor` (anything else is 1) and clears every filter's history.
    void setFactor(int32_t factor);
    int32_t factor() const { return factor_; }
    /// Clears the history of every filter.
    void clear();

    /// `count` base-rate samples of `channel` into count x factor samples at
    /// `out`. `count` is at most the allocated frames.
    void up(int32_t channel, const float* in, float* out, int32_t count);
    /// count x factor samples of `channel` at `in` (which it may overwrite)
    /// back to `count` base-rate samples at `out`, the padding delay included.
    void down(int32_t channel, float* in, float* out, int32_t count);

private:
    // One half-band filter's history for one channel and direction.
    struct Stage {
        int32_t taps = 0;            // distinct side taps, m + 1
        const float* side = nullptr;  // outermost first
        std::vector<float> spread;    // each side tap four times, for the lanes
        std::vector<float> history;   // interpolator: the input; decimator: its even samples
        std::vector<float> odd;       // decimator: its odd samples
    };
    void interpolate(Stage& stage, const float* in, float* out, int32_t count);
    void decimate(Stage& stage, const float* in, float* out, int32_t count);

    int32_t factor_ = 1;
    int32_t capacity_ = 0;
    std::array<std::array<Stage, 4>, kChannels> upStages_;
    std::array<std::array<Stage, 4>, kChannels> downStages_;
    std::array<std::vector<float>, kChannels> pad_;  // the padding delay at the top rate
    std::vector<float> scratch_;                     // one stage's input with its history in front
};
