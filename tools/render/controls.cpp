#include "tools/render/controls.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/coefficients.h"
#include "tools/render/plugin_host.h"
#include "tools/render/tool_error.h"

namespace {

// The plug-in quantises its knobs to 129 steps (raw 0..128).
constexpr int kKnobSteps = 128;
// Display texts cut digits off; a value this far beyond the shown ends still
// means the end step (Ingain's -16.03 dB shows as "-16.").
constexpr double kRangeSlack = 0.05;

[[noreturn]] void settingError(const std::string& message) { throw ToolError(kExitUsage, message); }

std::string trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool parseWholeNumber(const std::string& text, long& number) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    errno = 0;
    char* end = nullptr;
    number = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && errno == 0;
}

// A number, optionally followed by `unit` (case ignored): "-6", "-6 dB", "50%".
bool parseNumber(const std::string& text, const std::string& unit, double& number) {
    std::string body = trim(text);
    if (body.empty()) return false;
    errno = 0;
    char* end = nullptr;
    number = std::strtod(body.c_str(), &end);
    if (end == body.c_str() || errno != 0 || !std::isfinite(number)) return false;
    std::string rest = trim(end);
    return rest.empty() || (!unit.empty() && normaliseName(rest) == normaliseName(unit));
}

// The value of one unit in the last digit a number text shows: 0.01 for "29.65".
double lastDigitUnit(const std::string& text) {
    size_t point = text.find('.');
    if (point == std::string::npos) return 1.0;
    size_t digits = 0;
    while (point + 1 + digits < text.size() && std::isdigit(static_cast<unsigned char>(text[point + 1 + digits])))
        ++digits;
    return std::pow(10.0, -static_cast<double>(digits));
}

std::optional<bool> parseSwitch(const std::string& text) {
    std::string word = normaliseName(text);
    if (word == "on" || word == "1" || word == "true" || word == "yes") return true;
    if (word == "off" || word == "0" || word == "false" || word == "no") return false;
    return std::nullopt;
}

bool isSwitchText(const std::string& display) {
    std::string word = normaliseName(display);
    return word == "on" || word == "off";
}

int findParameter(PluginHost& host, const std::string& name) {
    std::string wanted = normaliseName(name);
    std::string known;
    for (int index = 0; index < host.parameterCount(); ++index) {
        std::string candidate = trim(host.parameterName(index));
        if (normaliseName(candidate) == wanted) return index;
        known += (index > 0 ? ", " : "") + candidate;
    }
    settingError("unknown parameter '" + name + "' (parameters: " + known + "; or an index 0-" +
                 std::to_string(host.parameterCount() - 1) + ")");
}

// The step whose displayed value lies nearest `wanted`, asking the plug-in
// for the text of every step; the parameter is left at that step.
float setByDisplayedValue(PluginHost& host, int index, const std::string& name, const std::string& text) {
    std::string label = trim(host.parameterLabel(index));
    double wanted = 0.0;
    if (!parseNumber(text, label, wanted))
        settingError(name + "=" + text + ": expected a number" + (label.empty() ? "" : " in " + label));

    std::vector<double> shown(kKnobSteps + 1), middle(kKnobSteps + 1);
    std::string lowText, highText;
    for (int step = 0; step <= kKnobSteps; ++step) {
        host.setParameter(index, static_cast<float>(step) / kKnobSteps);
        std::string display = trim(host.parameterDisplay(index));
        if (!parseNumber(display, "", shown[step]))
            settingError(name + " shows '" + display + "', not a number: set it by index (INDEX=0..1)");
        middle[step] = shown[step] + std::copysign(0.5 * lastDigitUnit(display), shown[step]);
        if (step == 0) lowText = display;
        if (step == kKnobSteps) highText = display;
    }
    double low = std::min(shown.front(), shown.back());
    double high = std::max(shown.front(), shown.back());
    if (wanted < low - kRangeSlack || wanted > high + kRangeSlack) {
        if (shown.front() > shown.back()) std::swap(lowText, highText);
        settingError(name + "=" + text + ": out of range (" + lowText + " to " + highText +
                     (label.empty() ? "" : " " + label) + ")");
    }
    // Texts are cut, not rounded, so two neighbours can sit equally far from
    // the wanted value ("29.6" and "30.4" around 30); the middle of what each
    // text stands for then decides (29.65 against 30.45).
    int best = 0;
    for (int step = 1; step <= kKnobSteps; ++step) {
        double distance = std::fabs(shown[step] - wanted);
        double bestDistance = std::fabs(shown[best] - wanted);
        if (distance < bestDistance - 1e-9 ||
            (distance < bestDistance + 1e-9 && std::fabs(middle[step] - wanted) < std::fabs(middle[best] - wanted)))
            best = step;
    }
    float value = static_cast<float>(best) / kKnobSteps;
    host.setParameter(index, value);
    return value;
}

}  // namespace

std::string trimEnd(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string normaliseName(const std::string& name) {
    std::string result;
    bool pendingBlank = false;
    for (unsigned char c : name) {
        if (std::isspace(c)) {
            pendingBlank = !result.empty();
            continue;
        }
        if (pendingBlank) result += ' ';
        pendingBlank = false;
        result += static_cast<char>(std::tolower(c));
    }
    return result;
}

int resolveProgram(PluginHost& host, const std::string& choice) {
    int count = host.programCount();
    long number = 0;
    if (parseWholeNumber(trim(choice), number)) {
        if (number >= count) settingError("no program " + choice + " (programs 0-" + std::to_string(count - 1) + ")");
        return static_cast<int>(number);
    }
    std::string wanted = normaliseName(choice);
    for (int program = 0; program < count; ++program)
        if (!wanted.empty() && normaliseName(host.programName(program)) == wanted) return program;
    settingError("unknown program '" + choice + "' (see --list)");
}

std::pair<int, float> applySetting(PluginHost& host, const std::string& setting) {
    size_t equals = setting.find('=');
    std::string name = trim(setting.substr(0, equals));
    std::string text = trim(setting.substr(equals + 1));

    long index = 0;
    if (parseWholeNumber(name, index)) {
        if (index >= host.parameterCount())
            settingError("no parameter " + name + " (parameters 0-" + std::to_string(host.parameterCount() - 1) + ")");
        double value = 0.0;
        if (!parseNumber(text, "", value) || value < 0.0 || value > 1.0)
            settingError(setting + ": a parameter index takes a normalised value from 0 to 1");
        host.setParameter(static_cast<int>(index), static_cast<float>(value));
        return {static_cast<int>(index), static_cast<float>(value)};
    }

    int found = findParameter(host, name);
    if (isSwitchText(host.parameterDisplay(found))) {
        std::optional<bool> on = parseSwitch(text);
        if (!on) settingError(name + "=" + text + ": expected on or off");
        host.setParameter(found, *on ? 1.0f : 0.0f);
        return {found, *on ? 1.0f : 0.0f};
    }
    return {found, setByDisplayedValue(host, found, name, text)};
}

Preset resolvePreset(PluginHost& host, const std::optional<std::string>& program,
                     const std::vector<std::string>& settings) {
    Preset preset;
    if (program) {
        preset.program = resolveProgram(host, *program);
        host.selectProgram(*preset.program);
    }
    for (const std::string& setting : settings) preset.values.push_back(applySetting(host, setting));
    return preset;
}

void applyPreset(PluginHost& host, const Preset& preset) {
    if (preset.program) host.selectProgram(*preset.program);
    for (const auto& [index, value] : preset.values) host.setParameter(index, value);
}

std::string presetText(PluginHost& host, const Preset& preset) {
    int program = host.currentProgram();
    std::string text = "program " + std::to_string(program) + " \"" + trimEnd(host.programName(program)) + "\"";
    // Each parameter once, in the order first set, as the plug-in shows it:
    // the step it took, not the words that asked for it.
    std::vector<int> shown;
    for (const auto& entry : preset.values) {
        int index = entry.first;
        if (std::find(shown.begin(), shown.end(), index) != shown.end()) continue;
        shown.push_back(index);
        std::string label = trim(host.parameterLabel(index));
        text += ", " + trim(host.parameterName(index)) + " " + trim(host.parameterDisplay(index)) +
                (label.empty() ? "" : " " + label);
    }
    return text;
}

std::optional<float> inputGain(PluginHost& host) {
    int index = -1;
    for (int candidate = 0; candidate < host.parameterCount() && index < 0; ++candidate)
        if (normaliseName(host.parameterName(candidate)) == "ingain") index = candidate;
    if (index < 0) return std::nullopt;

    // The step the plug-in holds, through the effect's own Ingain law.
    return inputGainFor(std::floor(host.parameter(index) * kKnobSteps + 0.5f));
}
