#include "core/value_text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/coefficients.h"
#include "core/programs.h"
#include "util/fixed_text.h"

namespace {

void copyInto(ValueText& text, const char* from) {
    std::strncpy(text.chars, from, ValueText::kSize - 1);
    text.chars[ValueText::kSize - 1] = '\0';
}

bool isOn(float raw) { return std::trunc(raw) != 0.0f; }

}  // namespace

float shownNumber(const ParamRow& row, float raw) {
    if (row.shown == Shown::kDecibels) {
        return static_cast<float>(20.0 * std::log10(static_cast<double>(inputGainFor(raw))));
    }
    return raw / static_cast<float>(row.steps) * 100.0f;
}

ValueText valueText(const ParamRow& row, float raw, int used) {
    ValueText text;
    switch (row.shown) {
        case Shown::kDecibels:
        case Shown::kPercent:
            fixedtext::format(shownNumber(row, raw), text.chars, used);
            break;
        case Shown::kOnOff:
            copyInto(text, isOn(raw) ? "On" : "Off");
            break;
        case Shown::kProgramName: {
            const int32_t program = static_cast<int32_t>(raw);
            copyInto(text, isProgram(program) ? kFactoryPrograms[program].name : "");
            break;
        }
        case Shown::kFactor: {
            static constexpr const char* kFactors[] = {"Off", "2x", "4x", "8x", "16x"};
            const int32_t factor = oversamplingFactorOf(raw);
            int32_t step = 0;
            while ((1 << step) < factor) ++step;
            copyInto(text, kFactors[step]);
            break;
        }
    }
    return text;
}

float stepOf(const ParamRow& row, float value) {
    if (!(value > 0.0f)) return 0.0f;
    const auto steps = static_cast<float>(row.steps);
    return value >= 1.0f ? steps : std::trunc(steps * value);
}

float rawFromNormalized(const ParamRow& row, double normalized) {
    if (row.kind == ParamKind::kKnob || row.kind == ParamKind::kSwitch) {
        // Held to 0..1 while a double: a value beyond a float's range has no float.
        const double held = normalized > 0.0 ? (normalized < 1.0 ? normalized : 1.0) : 0.0;
        return stepOf(row, static_cast<float>(held));
    }
    const int32_t steps = row.steps;
    if (!(normalized > 0.0)) return 0.0f;
    if (normalized >= 1.0) return static_cast<float>(steps);
    const auto index = static_cast<int32_t>(normalized * (steps + 1));
    return static_cast<float>(index > steps ? steps : index);
}

std::optional<float> rawFromText(const ParamRow& row, std::string_view typed) {
    const std::string text = trimmed(typed);
    switch (row.shown) {
        case Shown::kOnOff:
            if (sameText(text, "On") || text == "1") return 1.0f;
            if (sameText(text, "Off") || text == "0") return 0.0f;
            return std::nullopt;
        case Shown::kProgramName:
            for (int32_t p = 0; p < kProgramCount; ++p) {
                if (sameText(text, kFactoryPrograms[p].name)) return static_cast<float>(p);
            }
            return std::nullopt;
        case Shown::kFactor:
            // "Off", "1", "1x" for none; "8", "8x", "x8" for eight times.
            for (int32_t step = 0; step <= row.steps; ++step) {
                const std::string factor = std::to_string(1 << step);
                if (sameText(text, valueText(row, static_cast<float>(step)).c_str()) || text == factor ||
                    sameText(text, factor + "x") || sameText(text, "x" + factor))
                    return static_cast<float>(step);
            }
            return std::nullopt;
        case Shown::kDecibels:
        case Shown::kPercent:
            break;
    }

    std::string_view rest;
    const std::optional<double> number = leadingNumber(text, rest);
    if (!number || !std::isfinite(*number)) return std::nullopt;
    const std::string unit = trimmed(rest);
    if (!unit.empty() && !sameText(unit, row.unit)) return std::nullopt;

    // The step whose text reads nearest: the number as shown, with its cut digits.
    float best = 0.0f;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int32_t step = 0; step <= row.steps; ++step) {
        std::string_view ignored;
        const std::optional<double> shown = leadingNumber(valueText(row, static_cast<float>(step)).c_str(), ignored);
        if (!shown) continue;
        const double distance = std::fabs(*shown - *number);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<float>(step);
        }
    }
    return best;
}

std::string trimmed(std::string_view text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    std::size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::optional<double> leadingNumber(std::string_view text, std::string_view& rest) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    // from_chars takes no plus sign; a typed "+6" means 6.
    if (begin != end && *begin == '+') ++begin;
    double value = 0.0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc()) return std::nullopt;
    rest = std::string_view(stop, static_cast<std::size_t>(end - stop));
    return value;
}
