#include "tools/render/options.h"

#include <cerrno>
#include <cstdlib>

#include "tools/render/tool_error.h"

namespace {

constexpr int kLargestBlock = 65536;

[[noreturn]] void usageError(const std::string& message) {
    throw ToolError(kExitUsage, message + " (see --help)");
}

int parseWholeNumber(const std::string& option, const std::string& text, long largest) {
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > largest)
        usageError(option + ": expected a whole number from 1 to " + std::to_string(largest) + ", got '" + text +
                   "'");
    return static_cast<int>(value);
}

int parseBlockSize(const std::string& text) { return parseWholeNumber("--block", text, kLargestBlock); }

int parseTicks(const std::string& text) { return parseWholeNumber("--ticks", text, 10000); }

SampleFormat parseFormat(const std::string& text) {
    if (text == "float") return SampleFormat::Float;
    if (text == "24") return SampleFormat::Pcm24;
    if (text == "16") return SampleFormat::Pcm16;
    usageError("--format: expected float, 24 or 16, got '" + text + "'");
}

}  // namespace

Options parseOptions(int argc, const char* const* argv) {
    Options options;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // Both "--name value" and "--name=value".
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (size_t equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= argc) usageError(name + " needs a value");
            return argv[++i];
        };
        auto noValue = [&] {
            if (inlineValue) usageError(name + " takes no value");
        };

        if (name == "-h" || name == "--help") {
            noValue();
            options.help = true;
        } else if (name == "-q" || name == "--quiet") {
            noValue();
            options.quiet = true;
        } else if (name == "--demo") {
            noValue();
            options.demo = true;
        } else if (name == "--list") {
            noValue();
            options.list = true;
        } else if (name == "--snapshot") {
            options.snapshotPath = value();
            if (options.snapshotPath.empty()) usageError("--snapshot needs a path");
        } else if (name == "--ticks") {
            options.ticks = parseTicks(value());
        } else if (name == "--plugin") {
            options.pluginPath = value();
            if (options.pluginPath.empty()) usageError("--plugin needs a path");
        } else if (name == "--program") {
            options.program = value();
        } else if (name == "--set") {
            std::string setting = value();
            if (setting.find('=') == std::string::npos) usageError("--set: expected NAME=VALUE, got '" + setting + "'");
            options.settings.push_back(setting);
        } else if (name == "--block") {
            options.blockSize = parseBlockSize(value());
        } else if (name == "--format") {
            options.format = parseFormat(value());
        } else {
            usageError("unknown option '" + arg + "'");
        }
    }
    if (options.help) return options;

    const bool snapshot = !options.snapshotPath.empty();
    if (snapshot && (options.list || options.demo))
        usageError("--snapshot goes alone, without --list or --demo");
    size_t wanted = options.list || snapshot ? 0 : options.demo ? 1 : 2;
    if (positional.size() != wanted) {
        if (options.list) usageError("--list takes no files");
        if (snapshot) usageError("--snapshot takes no audio files");
        if (options.demo) usageError(positional.empty() ? "--demo needs an output file" : "--demo takes one output file and no input");
        usageError(positional.size() < 2 ? "expected an input and an output file" : "too many files");
    }
    if (wanted == 2) options.inputPath = positional[0];
    if (wanted >= 1) options.outputPath = positional.back();
    return options;
}

std::string helpText() {
    return R"(Usage: varnox-render [OPTIONS] INPUT OUTPUT
       varnox-render [OPTIONS] --demo OUTPUT
       varnox-render [OPTIONS] --list
       varnox-render [OPTIONS] --snapshot EDITOR.png [--ticks N]

Runs an audio file through the Varnox drive plug-in, loaded as a VST 2 host
loads it, and writes the result.

Files:
  INPUT                 WAV, AIFF or FLAC; mono or stereo. Its sample rate is
                        the plug-in's sample rate. Mono is fed to both plug-in
                        inputs and written back as mono.
  OUTPUT                .wav, .aif/.aiff or .flac. Written to a temporary file
                        beside it and renamed when complete, so a failed run
                        never leaves a partial file.
  --demo                Render a built-in six-second stereo demo (plucked
                        chords, a drum loop and a quiet tail) instead of INPUT.
  --format float|24|16  Sample format of OUTPUT (default: that of INPUT, or 24
                        for the demo; FLAC holds 16 and 24 only).

Plug-in settings (applied in this order):
  --program N|NAME      Load factory program N (0-9) or the program of that
                        name. Names match ignoring case, trailing blanks and
                        runs of inner blanks: --program "raw power".
  --set NAME=VALUE      Set a parameter in the units its display shows
                        (repeatable): a percent (Attack=30, Drive=100%), the
                        gain in decibels (Ingain=-6, Ingain=+3dB), on/off for
                        a switch (Boost=on, "Times Two"=off). The nearest step
                        the plug-in can take is chosen; values beyond the
                        displayed range (by more than 0.05) are refused.
  --set INDEX=VALUE     Set parameter INDEX (0-5) to a normalised value 0..1.
  --list                Print the programs and the parameters with the
                        plug-in's own names, display texts and labels (after
                        --program and --set) and exit.

Editor picture:
  --snapshot PNG        Open the plug-in's editor (after --program and --set),
                        let it run N ticks of 50 ms and write what it shows as
                        a PNG. The editor is drawn on the software window layer
                        of this program, so the effect for the picture is built
                        in this process rather than loaded from --plugin.
  --ticks N             Ticks before the picture (1-10000, default 40: two
                        seconds, enough for the tube and LEDs to settle).

Host:
  --block N             Block size in sample frames (1-65536, default 512).
  --plugin PATH         The plug-in library (default: ORv_Varnox.so beside
                        this program).
  -q, --quiet           No progress bar and no summary.
  -h, --help            This text.

At the end a summary line gives the input and output peak and RMS levels
in dBFS, whether the plug-in's clip indicator fired (the input, scaled by
Ingain, passed full scale; the plug-in then clamps it), and the real-time
factor (rendering time / audio duration). A progress bar is drawn on stderr
when it is a terminal and the render takes a while.

Exit status: 0 success; 1 input, output or rendering failed; 2 bad command
line (option, program, parameter or value); 3 the plug-in did not load or
made no effect; 130 interrupted. On failure no output file is left behind.
)";
}
