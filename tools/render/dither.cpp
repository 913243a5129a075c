#include "tools/render/dither.h"

#include <cmath>

Quantiser::Quantiser(int bits, bool dither)
    : shift(16 - bits),
      scale(std::ldexp(1.0, bits - 1)),
      lowest(-scale),
      highest(scale - 1.0),
      dither(dither) {}

double Quantiser::uniform() {
    // xorshift32: cheap, and the same sequence on every build.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    // 24 random bits centred in their interval: strictly inside (-1/2, 1/2).
    return (static_cast<double>(state >> 8) + 0.5) * 0x1p-24 - 0.5;
}

void Quantiser::run(const float* samples, int16_t* words, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        double value = static_cast<double>(samples[i]) * scale;
        if (dither) value += uniform() + uniform();
        double step = std::floor(value + 0.5);
        if (std::isnan(step)) step = 0.0;
        step = step < lowest ? lowest : step > highest ? highest : step;
        words[i] = static_cast<int16_t>(static_cast<int>(step) * (1 << shift));
    }
}
