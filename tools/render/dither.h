// Reduction of the float render to 16- or 8-bit samples, done here rather
// than by libsndfile so that the dither is exact and full scale clips.
#pragma once

#include <cstddef>
#include <cstdint>

class Quantiser {
public:
    /// `bits` 16 or 8. With `dither`, TPDF dither of +-1 step (the sum of two
    /// independent uniform values of +-1/2 step) goes in before rounding.
    Quantiser(int bits, bool dither);

    /// Rounds each sample to the nearest step of 2^-(bits-1) full scale and
    /// clips it to the steps that exist (+1.0 becomes the highest, 32767 at 16
    /// bits); not-a-number becomes 0. The results are 16-bit words (8-bit
    /// steps in the high byte), as libsndfile takes them.
    void run(const float* samples, int16_t* words, size_t count);

    bool dithers() const { return dither; }

private:
    double uniform();

    int shift;
    double scale;
    double lowest;
    double highest;
    bool dither;
    uint32_t state = 0x2545F491u;  // fixed: the same render gives the same file
};
