#include "tools/render/dither.h"

#include <cmath>

namespace {

// splitmix64's finaliser: spreads every input bit over the whole word.
uint64_t mixed(uint64_t value) {
    value ^= value >> 30;
    value *= 0xBF58476D1CE4E5B9ull;
    value ^= value >> 27;
    value *= 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

}  // namespace

uint32_t ditherSeed(const std::string& inputName, const std::string& settings) {
    // FNV-1a over both texts, told apart by a separator no name holds.
    uint64_t hash = 0xCBF29CE484222325ull;
    for (unsigned char c : inputName + '\0' + settings) hash = (hash ^ c) * 0x100000001B3ull;
    return static_cast<uint32_t>(mixed(hash));
}

Quantiser::Quantiser(int bits, bool dither, uint32_t seed, int channels)
    : bits(bits),
      scale(std::ldexp(1.0, bits - 1)),
      lowest(-scale),
      highest(scale - 1.0),
      dither(dither) {
    const size_t count = channels > 0 ? static_cast<size_t>(channels) : 1;
    for (size_t c = 0; c < count; ++c) {
        // Channel 0 of the default seed keeps the sequence of earlier renders.
        uint32_t state = c == 0 ? seed : static_cast<uint32_t>(mixed(uint64_t{seed} << 32 | c));
        states.push_back(state != 0 ? state : kDefaultSeed);  // xorshift never leaves 0
    }
}

double Quantiser::uniform(uint32_t& state) {
    // xorshift32: cheap, and the same sequence on every build.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    // 24 random bits centred in their interval: strictly inside (-1/2, 1/2).
    return (static_cast<double>(state >> 8) + 0.5) * 0x1p-24 - 0.5;
}

double Quantiser::step(float sample) {
    double value = static_cast<double>(sample) * scale;
    if (dither) {
        uint32_t& state = states[channel];
        value += uniform(state) + uniform(state);
    }
    if (++channel == states.size()) channel = 0;
    double whole = std::floor(value + 0.5);
    if (std::isnan(whole)) return 0.0;
    if (whole < lowest || whole > highest) {
        ++clippedCount;
        return whole < lowest ? lowest : highest;
    }
    return whole;
}

void Quantiser::run(const float* samples, int16_t* words, size_t count) {
    const int shift = 16 - bits;
    for (size_t i = 0; i < count; ++i)
        words[i] = static_cast<int16_t>(static_cast<int>(step(samples[i])) * (1 << shift));
}

void Quantiser::run(const float* samples, int32_t* words, size_t count) {
    const int shift = 32 - bits;
    for (size_t i = 0; i < count; ++i)
        words[i] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int32_t>(step(samples[i]))) << shift);
}
