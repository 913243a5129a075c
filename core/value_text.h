// What a parameter's value reads as, and what a typed text means: the texts
// hosts show beside a value and the readout's digits, from the parameter
// table. Built in fixed buffers, so any thread may ask.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/parameters.h"

struct ValueText {
    static constexpr std::size_t kSize = 32;
    char chars[kSize] = {};
    const char* c_str() const { return chars; }
};

/// The value of raw step `raw` as text: a number in the fixed-width format
/// with `used` positions already taken (4 beside a host's value, 3 for the
/// readout's decibels), "On"/"Off", or a program's factory name.
ValueText valueText(const ParamRow& row, float raw, int used = 4);

/// The number a knob's step shows: the input gain in dB, or percent.
float shownNumber(const ParamRow& row, float raw);

/// The raw step a typed text asks for, or nothing. A number may carry the
/// parameter's unit; it takes the step whose shown number lies nearest (the
/// lowest of equals). Switches take on/off or 1/0, the program list a
/// program's name; case does not matter, blanks around it neither.
std::optional<float> rawFromText(const ParamRow& row, std::string_view text);

/// The step an effect parameter takes for a host value: trunc(steps x value),
/// in 32 bits, as its VST 2 face always has (a switch is on only at 1);
/// outside 0..1 (NaN as 0) the nearest end.
float stepOf(const ParamRow& row, float value);

/// The step a value in the units the editor shows takes (dB, percent, 0/1):
/// the step whose shown number lies nearest, the lowest of equals, so each
/// step's own number takes that step. A switch is on above 0, off at or
/// below it (NaN as off); a face's list (programs, oversampling factors)
/// takes the nearest whole number, its entry's index.
/// Formats that carry shown values (LV2 control ports) take steps by it.
float stepOfShown(const ParamRow& row, double shown);

/// A host value 0..1 as a raw step: stepOf for the effect's own parameters;
/// a face's lists take n + 1 equal parts of 0..1, as hosts map list entries.
float rawFromNormalized(const ParamRow& row, double normalized);

// Text helpers the faces share.
std::string trimmed(std::string_view text);
/// Case-insensitive equality of two ASCII texts.
bool sameText(std::string_view a, std::string_view b);
/// A decimal number at the start of `text` (sign, digits, point, exponent;
/// no locale), and what follows it; nothing when there is none.
std::optional<double> leadingNumber(std::string_view text, std::string_view& rest);
