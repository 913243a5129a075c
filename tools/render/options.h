// The command line of varnox-render.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class SampleFormat { Same, Float, Pcm24, Pcm16 };

struct Options {
    std::string inputPath;   // empty with --demo
    std::string outputPath;  // empty with --list
    std::string pluginPath;  // empty: the library next to the program
    std::string snapshotPath;  // --snapshot: a PNG of the editor instead of audio
    int ticks = 40;            // editor ticks before the snapshot
    std::optional<std::string> program;  // number or name
    std::vector<std::string> settings;   // "NAME=VALUE", applied in order after the program
    int blockSize = 512;
    SampleFormat format = SampleFormat::Same;
    bool demo = false;
    bool list = false;
    bool quiet = false;
    bool help = false;
};

/// Parses argv; throws ToolError (kExitUsage) with a one-line message.
Options parseOptions(int argc, const char* const* argv);

/// The text --help prints.
std::string helpText();
