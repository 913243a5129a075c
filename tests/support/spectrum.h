// How much of a tone's output is folding: the energy off the harmonic series
// of the tone, against the whole, in dB. `length` samples, every `stride`th
// value from `samples`, must hold whole periods of `frequency` at `rate`, so
// that each harmonic falls on one bin.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>

inline double offHarmonicDb(const float* samples, std::size_t stride, std::size_t length, double frequency,
                            double rate) {
    constexpr double kPi = 3.14159265358979323846;
    const auto at = [&](std::size_t i) { return double{samples[i * stride]}; };
    double total = 0.0, harmonic = 0.0;
    for (std::size_t i = 0; i < length; ++i) total += at(i) * at(i);
    for (int k = 0; k * frequency < rate / 2; ++k) {
        double re = 0.0, im = 0.0;
        for (std::size_t i = 0; i < length; ++i) {
            const double phase = 2.0 * kPi * k * frequency * static_cast<double>(i) / rate;
            re += at(i) * std::cos(phase);
            im += at(i) * std::sin(phase);
        }
        harmonic += (k == 0 ? 1.0 : 2.0) * (re * re + im * im) / static_cast<double>(length);
    }
    return 10.0 * std::log10(std::max(total - harmonic, 1e-30) / total);
}
