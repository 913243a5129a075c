// Turning the command line's program and parameter words into requests to the
// plug-in, using only what the plug-in itself reports (names, display texts).
#pragma once

#include <optional>
#include <string>

class PluginHost;

/// Lower case, no outer blanks, each inner run of blanks as one: "Raw   Power  "
/// and "raw power" compare equal.
std::string normaliseName(const std::string& name);

/// A program number or name; throws ToolError (kExitUsage) when there is none.
int resolveProgram(PluginHost& host, const std::string& choice);

/// Applies one "NAME=VALUE" or "INDEX=VALUE" setting; throws ToolError
/// (kExitUsage) for an unknown parameter or a value it cannot take.
void applySetting(PluginHost& host, const std::string& setting);

/// The linear gain in front of the drive stages as the plug-in derives it
/// from its "Ingain" step, or nothing when the plug-in has no such parameter.
std::optional<float> inputGain(PluginHost& host);
