#include "util/fixed_text.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace fixedtext {

namespace {

constexpr std::size_t kLocalSize = 32;

char digitOf(double value) { return static_cast<char>('0' + static_cast<int>(std::fmod(value, 10.0))); }

}  // namespace

void copy(const char* from, char* text) {
    std::size_t length = 0;
    while (length < kWidth && from[length] != '\0') ++length;
    std::memcpy(text, from, length);
    text[length] = '\0';
}

void format(float value, char* text, int used) {
    if (!text) return;
    // A negative count would allow more than 8 characters.
    int position = std::max(used, 0);
    const double wide = value;
    if (std::isnan(wide)) {
        copy(kOverflow, text);
        return;
    }

    bool negative = false;
    double v = wide;
    if (v < 0.0) {
        v = -v;
        ++position;
        negative = true;
        if (v > 9999999.0) {
            copy(kOverflow, text);
            return;
        }
    } else if (v > 99999999.0) {
        copy(kOverflow, text);
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
    while (q >= 1.0 && position < kWidth) {
        *--start = digitOf(q);
        q *= 0.1;
        ++position;
    }
    if (q >= 1.0) {
        // Higher digits did not fit: showing only the low ones would be a
        // plausible-looking wrong number.
        copy(kOverflow, text);
        return;
    }
    if (negative) *--start = '-';

    std::size_t length = static_cast<std::size_t>(local + kLocalSize - 1 - start);
    std::memmove(local, start, length + 1);

    if (position < kWidth) {
        // Decimals are cut, never rounded: 0.7f (0.69999998...) shows 0.699999.
        const int count = kWidth - position;
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
    copy(local, text);
}

}  // namespace fixedtext
