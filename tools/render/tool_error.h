// The one failure type of the tool: a one-line message and the exit code the
// process ends with.
#pragma once

#include <cerrno>
#include <stdexcept>
#include <string>

#include "tools/render/stop_signals.h"

enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,  // input, output or rendering failed
    kExitUsage = 2,    // bad command line: options, names, values
    kExitPlugin = 3,   // the plug-in library did not load or made no instance
    kExitDamaged = 4,  // an input ended before its header said: rendered as far as it went
    kExitSignalBase = 128,  // stopped by a signal: 128 + its number, as a shell reports it
};

class ToolError : public std::runtime_error {
public:
    ToolError(int exitCode, const std::string& message) : std::runtime_error(message), code(exitCode) {}
    int exitCode() const { return code; }

private:
    int code;
};

inline ToolError interruptedError(int signal) {
    return ToolError(kExitSignalBase + signal,
                     std::string("interrupted by ") + stopsignals::name(signal) + "; no output written");
}

/// Runs a system call (-1 and errno on failure) again when a signal cuts it
/// short, unless the signal was a stop: then throws interruptedError.
template <typename Call>
auto retryUnlessStopped(Call call) {
    for (;;) {
        auto result = call();
        if (result >= 0 || errno != EINTR) return result;
        if (int signal = stopsignals::received()) throw interruptedError(signal);
    }
}
