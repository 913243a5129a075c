// Turning the command line's program and parameter words into requests to the
// plug-in, using only what the plug-in itself reports (names, display texts).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

class PluginHost;

/// Lower case, no outer blanks, each inner run of blanks as one: "Raw   Power  "
/// and "raw power" compare equal.
std::string normaliseName(const std::string& name);

/// `text` without its trailing blanks; inner runs stay as the plug-in wrote them.
std::string trimEnd(std::string text);

/// A program number or name; throws ToolError (kExitUsage) when there is none.
int resolveProgram(PluginHost& host, const std::string& choice);

/// Applies one "NAME=VALUE" or "INDEX=VALUE" setting and answers the
/// parameter and the normalised value it got; throws ToolError (kExitUsage)
/// for an unknown parameter or a value it cannot take.
std::pair<int, float> applySetting(PluginHost& host, const std::string& setting);

/// A program and parameter values worked out once, on one instance, and
/// given to every instance of a run in the same order.
struct Preset {
    std::optional<int> program;
    std::vector<std::pair<int, float>> values;  // parameter index, normalised value
};

/// Resolves --program and the --set words on `host`, which is left so set.
/// Throws ToolError (kExitUsage) as resolveProgram and applySetting do.
Preset resolvePreset(PluginHost& host, const std::optional<std::string>& program,
                     const std::vector<std::string>& settings);

void applyPreset(PluginHost& host, const Preset& preset);

/// What `host` (set up with `preset`) shows for it, in its own texts:
/// program 3 "Dense", Ingain -5.9 db, Attack 29.6 %.
std::string presetText(PluginHost& host, const Preset& preset);

/// The linear gain in front of the drive stages as the plug-in derives it
/// from its "Ingain" step, or nothing when the plug-in has no such parameter.
std::optional<float> inputGain(PluginHost& host);
