// Number-to-text for host displays: at most 8 characters plus the terminator,
// built in a local buffer so nothing is allocated on the calling thread.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/effect_base.h"

namespace {

constexpr int kTextWidth = 8;
constexpr std::size_t kLocalSize = 32;
constexpr char kOverflowText[] = " Huge!  ";
constexpr char kMinusInfinityText[] = "  -oo   ";
static_assert(sizeof kOverflowText == kTextWidth + 1 && sizeof kMinusInfinityText == kTextWidth + 1);

// Copies at most kTextWidth characters: the caller's buffer holds 9 bytes.
void copyOut(const char* from, char* text) {
    std::size_t length = 0;
    while (length < kTextWidth && from[length] != '\0') ++length;
    std::memcpy(text, from, length);
    text[length] = '\0';
}

char digitOf(double value) { return static_cast<char>('0' + static_cast<int>(std::fmod(value, 10.0))); }

}  // namespace

void EffectBase::floatToText(float value, char* text, int8_t used) {
    if (!text) return;
    // A negative count would allow more than 8 characters.
    int position = std::max<int>(used, 0);
    const double wide = value;
    if (std::isnan(wide)) {
        copyOut(kOverflowText, text);
        return;
    }

    bool negative = false;
    double v = wide;
    if (v < 0.0) {
        v = -v;
        ++position;
        negative = true;
        if (v > 9999999.0) {
            copyOut(kOverflowText, text);
            return;
        }
    } else if (v > 99999999.0) {
        copyOut(kOverflowText, text);
        return;
    } else {
        v = std::fabs(v);  // negative zero shows without a sign
    }

    // Integer digits right to left into the end of the buffer, ending in the point.
    char local[kLocalSize];
    char* start = local + kLocalSize - 1;
    *start = '\0';
    *--start = '.';
    double q = std::floor(v);
    *--start = digitOf(q);
    q *= 0.1;
    position += 2;
    // q is deliberately not floored again: the digit cut drops its fraction.
    while (q >= 1.0 && position < kTextWidth) {
        *--start = digitOf(q);
        q *= 0.1;
        ++position;
    }
    if (q >= 1.0) {
        // Higher digits did not fit: showing only the low ones would be a
        // plausible-looking wrong number.
        copyOut(kOverflowText, text);
        return;
    }
    if (negative) *--start = '-';

    std::size_t length = static_cast<std::size_t>(local + kLocalSize - 1 - start);
    std::memmove(local, start, length + 1);

    if (position < kTextWidth) {
        // Decimals are cut, never rounded: 0.7f (0.69999998...) shows 0.699999.
        const int count = kTextWidth - position;
        double m = std::fmod(v, 1.0) * std::pow(10.0, count);
        for (int i = count - 1; i >= 0; --i) {
            if (m > 0.0) {
                local[length + static_cast<std::size_t>(i)] = digitOf(m);
                m *= 0.1;
            } else {
                local[length + static_cast<std::size_t>(i)] = '0';
            }
        }
        length += static_cast<std::size_t>(count);
        local[length] = '\0';
    }
    copyOut(local, text);
}

void EffectBase::decibelsToText(float value, char* text) {
    if (!text) return;
    if (value > 0.0f) {
        floatToText(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text, 0);
    } else {
        copyOut(kMinusInfinityText, text);
    }
}

void EffectBase::hertzToText(float samples, char* text) {
    const float rate = sampleRateSetting();
    floatToText(samples == 0.0f ? 0.0f : rate / samples, text, 0);
}

// A rate of 0 gives an infinite length, shown as the overflow text.
void EffectBase::millisecondsToText(float samples, char* text) {
    const float rate = sampleRateSetting();
    floatToText(samples * 1000.0f / rate, text, 0);
}

void EffectBase::integerToText(int32_t value, char* text) {
    if (!text) return;
    if (value >= 100000000) {
        copyOut(kOverflowText, text);
        return;
    }
    char local[kLocalSize];
    std::snprintf(local, sizeof local, "%7d", value);
    // Values below -9999999 lose their last digits here; copyOut cuts at 8.
    copyOut(local, text);
}
