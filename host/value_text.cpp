// Number-to-text for host displays, in the fixed-width text of
// util/fixed_text.h: at most 8 characters plus the terminator.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/effect_base.h"
#include "util/fixed_text.h"

namespace {

constexpr std::size_t kLocalSize = 32;
constexpr char kMinusInfinityText[] = "  -oo   ";
static_assert(sizeof kMinusInfinityText == fixedtext::kWidth + 1);

}  // namespace

void EffectBase::floatToText(float value, char* text, int8_t used) { fixedtext::format(value, text, used); }

void EffectBase::decibelsToText(float value, char* text) {
    if (!text) return;
    if (value > 0.0f) {
        floatToText(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text, 0);
    } else {
        fixedtext::copy(kMinusInfinityText, text);
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
        fixedtext::copy(fixedtext::kOverflow, text);
        return;
    }
    char local[kLocalSize];
    std::snprintf(local, sizeof local, "%7d", value);
    // Values below -9999999 lose their last digits here; copyOut cuts at 8.
    fixedtext::copy(local, text);
}
