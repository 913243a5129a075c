// Reduction of the float render to 24-, 16- or 8-bit samples, done here
// rather than by libsndfile so that the rounding is to the nearest step
// (libsndfile's float-to-integer conversion truncates toward minus
// infinity), the dither is exact and full scale clips.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Quantiser {
public:
    /// The state the dither starts from when nothing else is asked: the same
    /// render gives the same file.
    static constexpr uint32_t kDefaultSeed = 0x2545F491u;

    /// `bits` 24, 16 or 8. With `dither`, TPDF dither of +-1 step (the sum of
    /// two independent uniform values of +-1/2 step) goes in before rounding;
    /// each of `channels` interleaved channels draws from a sequence of its
    /// own, started from `seed` and the channel's number.
    Quantiser(int bits, bool dither, uint32_t seed = kDefaultSeed, int channels = 1);

    /// Rounds each sample to the nearest step of 2^-(bits-1) full scale and
    /// clips it to the steps that exist (+1.0 becomes the highest, 32767 at 16
    /// bits); not-a-number becomes 0. The results are 16-bit words (8-bit
    /// steps in the high byte), as libsndfile takes them. 16 and 8 bits only.
    void run(const float* samples, int16_t* words, size_t count);
    /// The same into 32-bit words, steps in the high bits: any bit depth.
    void run(const float* samples, int32_t* words, size_t count);

    bool dithers() const { return dither; }
    /// Samples that lay beyond the highest or lowest step, so far.
    int64_t clipped() const { return clippedCount; }

private:
    double uniform(uint32_t& state);
    /// The whole step for the next sample of the interleaved stream.
    double step(float sample);

    int bits;
    double scale;
    double lowest;
    double highest;
    bool dither;
    std::vector<uint32_t> states;  // one per channel
    size_t channel = 0;            // of the next sample, across calls
    int64_t clippedCount = 0;
};

/// The dither seed of a file: the same name and settings give the same
/// noise, different files independent noise.
uint32_t ditherSeed(const std::string& inputName, const std::string& settings);
