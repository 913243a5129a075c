// The one failure type of the tool: a one-line message and the exit code the
// process ends with.
#pragma once

#include <stdexcept>
#include <string>

enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,  // input, output or rendering failed
    kExitUsage = 2,    // bad command line: options, names, values
    kExitPlugin = 3,   // the plug-in library did not load or made no instance
    kExitInterrupted = 130,
};

class ToolError : public std::runtime_error {
public:
    ToolError(int exitCode, const std::string& message) : std::runtime_error(message), code(exitCode) {}
    int exitCode() const { return code; }

private:
    int code;
};
