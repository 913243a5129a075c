#include "tools/render/options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include <sndfile.h>

#include <algorithm>

#include "tools/render/file_types.h"
#include "tools/render/tool_error.h"

namespace {

constexpr int kLargestBlock = 65536;
constexpr int kMostTicks = 10000;
constexpr int kMostJobs = 256;
constexpr int kMostRate = 768000;
constexpr int kMostChannels = 64;

// Modes as bits, for the table of where each option means something.
constexpr unsigned kRender = 1u << static_cast<int>(Mode::Render);
constexpr unsigned kBatch = 1u << static_cast<int>(Mode::Batch);
constexpr unsigned kDemo = 1u << static_cast<int>(Mode::Demo);
constexpr unsigned kList = 1u << static_cast<int>(Mode::List);
constexpr unsigned kSnapshot = 1u << static_cast<int>(Mode::Snapshot);
constexpr unsigned kAudio = kRender | kBatch | kDemo;

struct OptionUse {
    const char* name;
    unsigned modes;
};

constexpr OptionUse kOptionUses[] = {
    {"--plugin", kAudio | kList},
    {"--block", kAudio},
    {"--oversample", kAudio},
    {"--format", kAudio},
    {"--type", kAudio},
    {"--no-dither", kAudio},
    {"--compression", kAudio},
    {"--quality", kAudio},
    {"--bitrate", kAudio},
    {"--in-place", kRender | kBatch},
    {"--input-type", kRender | kBatch},
    {"--suffix", kBatch},
    {"--no-clobber", kAudio},
    {"--dry-run", kAudio},
    {"--keep-times", kRender | kBatch},
    {"--rate", kRender | kBatch},
    {"--channels", kRender | kBatch},
    {"--encoding", kAudio},
    {"--bits", kAudio},
    {"--jobs", kBatch},
    {"--ticks", kSnapshot},
    {"--scale", kSnapshot},
    {"--quiet", kAudio | kSnapshot},
};

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

// Levels and rates as the encoders know them: FLAC's 0-8, MP3's 8-320 kbit/s.
constexpr int kMostCompression = 8;
constexpr int kLeastBitrate = 8;
constexpr int kMostBitrate = 320;

double parseQuality(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !(value >= 0.0 && value <= 10.0))
        usageError("--quality: expected a number from 0 to 10 (10 best), got '" + text + "'");
    return value;
}

SampleFormat parseFormat(const std::string& text) {
    if (text == "float") return SampleFormat::Float;
    if (text == "24") return SampleFormat::Pcm24;
    if (text == "16") return SampleFormat::Pcm16;
    usageError("--format: expected float, 24 or 16, got '" + text + "'");
}

bool endsWithPng(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".png";
}

const char* modeOption(Mode mode) {
    switch (mode) {
    case Mode::Batch: return "-o DIR";
    case Mode::Demo: return "--demo";
    case Mode::List: return "--list";
    case Mode::Snapshot: return "--snapshot";
    case Mode::Render: break;
    }
    return "";
}

void checkOptionsFitMode(Mode mode, const std::vector<std::pair<std::string, std::string>>& given) {
    const unsigned bit = 1u << static_cast<int>(mode);
    for (const auto& [canonical, written] : given) {
        for (const OptionUse& use : kOptionUses) {
            if (canonical != use.name || (use.modes & bit) != 0) continue;
            if (mode != Mode::Render) usageError(written + " does nothing with " + modeOption(mode));
            // Rendering one file: name the mode the option belongs to.
            Mode home = (use.modes & kSnapshot) != 0 ? Mode::Snapshot : Mode::Batch;
            usageError(written + " works only with " + modeOption(home));
        }
    }
}

// Lines of at most 78 characters, broken at blanks, each ending in a newline.
std::string wrapped(const std::string& paragraph) {
    constexpr size_t kWidth = 78;
    std::string text, line;
    size_t start = 0;
    while (start < paragraph.size()) {
        size_t end = paragraph.find(' ', start);
        if (end == std::string::npos) end = paragraph.size();
        std::string word = paragraph.substr(start, end - start);
        if (!line.empty() && line.size() + 1 + word.size() > kWidth) {
            text += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    return text + line + "\n";
}

void checkRawOptions(const Options& options, const std::vector<std::string>& positional) {
    // Which files are inputs is only known from the mode: with -o all, else the first.
    std::vector<std::string> inputs;
    if (options.mode == Mode::Batch) inputs = positional;
    else if (options.mode == Mode::Render && !positional.empty()) inputs = {positional[0]};
    const bool rawInput = options.inputType == "raw" ||
                          std::any_of(inputs.begin(), inputs.end(), [](const std::string& path) { return rawName(path); });
    const bool described = !options.encoding.empty() || options.bits != 0;
    if (rawInput) {
        if (options.rate == 0 || options.channels == 0 || options.encoding.empty())
            usageError("headerless input needs its rate, channels and encoding (and bits where the encoding has "
                       "several sizes): -r 48000 -c 2 -e signed-integer -b 16");
    } else if (options.rate != 0 || options.channels != 0) {
        usageError(std::string(options.rate != 0 ? "--rate" : "--channels") +
                   " describes headerless input: add --input-type raw, or leave it out for a file with a header");
    }
    if (described) {
        if (options.encoding.empty()) usageError("--bits needs --encoding: signed-integer, unsigned-integer, floating-point, u-law or a-law");
        if (rawSubtype(options.encoding, options.bits) == 0)
            usageError("--encoding " + options.encoding + " has no " + std::to_string(options.bits) + "-bit form");
        if (!rawInput && options.format != SampleFormat::Same)
            usageError("--encoding and --format both choose the output's samples: one of them");
    }
}

}  // namespace

bool rawName(const std::string& path) {
    const std::string extension = extensionOf(path);
    return extension == "raw" || extension == "pcm";
}

int rawSubtype(const std::string& encoding, int bits) {
    struct Encoding {
        const char* names[2];
        int sizes[4][2];  // bits, subtype; the first is the default
    };
    static const Encoding kEncodings[] = {
        {{"signed-integer", "signed"},
         {{16, SF_FORMAT_PCM_16}, {8, SF_FORMAT_PCM_S8}, {24, SF_FORMAT_PCM_24}, {32, SF_FORMAT_PCM_32}}},
        {{"unsigned-integer", "unsigned"}, {{8, SF_FORMAT_PCM_U8}}},
        {{"floating-point", "float"}, {{32, SF_FORMAT_FLOAT}, {64, SF_FORMAT_DOUBLE}}},
        {{"u-law", "mu-law"}, {{8, SF_FORMAT_ULAW}}},
        {{"a-law", "alaw"}, {{8, SF_FORMAT_ALAW}}},
    };
    for (const Encoding& known : kEncodings) {
        if (encoding != known.names[0] && encoding != known.names[1]) continue;
        for (const auto& size : known.sizes)
            if (size[0] != 0 && (bits == 0 || bits == size[0])) return size[1];
        return 0;
    }
    usageError("--encoding: expected signed-integer, unsigned-integer, floating-point, u-law or a-law, got '" +
               encoding + "'");
}

std::string pluginFilePath(const std::string& option) {
    return option.find('/') == std::string::npos ? "./" + option : option;
}

Options parseOptions(int argc, const char* const* argv) {
    Options options;
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> given;  // canonical name, as written
    std::vector<std::string> modeOptions;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        // "-" alone is standard input or output.
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name value", "--name=value", and for the short ones "-j 4" and "-j4".
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (size_t equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
        } else if (arg[1] != '-' && arg.size() > 2 && (arg[1] == 'j' || arg[1] == 'o')) {
            name = arg.substr(0, 2);
            inlineValue = arg.substr(2);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= argc) usageError(name + " needs a value");
            return argv[++i];
        };
        auto noValue = [&] {
            if (inlineValue) usageError(name + " takes no value");
        };
        auto note = [&](const char* canonical) { given.emplace_back(canonical, name); };

        if (name == "-h" || name == "--help") {
            noValue();
            options.help = true;
        } else if (name == "--version") {
            noValue();
            options.version = true;
        } else if (name == "-q" || name == "--quiet") {
            noValue();
            note("--quiet");
            options.quiet = true;
        } else if (name == "--demo" || name == "--list") {
            noValue();
            modeOptions.push_back(name);
        } else if (name == "--snapshot") {
            options.snapshotPath = value();
            modeOptions.push_back(name);
            if (!endsWithPng(options.snapshotPath))
                usageError("--snapshot writes a PNG picture: name the file .png, got '" + options.snapshotPath + "'");
        } else if (name == "-o" || name == "--output-dir") {
            options.outputDir = value();
            modeOptions.push_back(name);
            if (options.outputDir.empty()) usageError(name + " needs a folder");
        } else if (name == "--scale") {
            note("--scale");
            options.scale = value();
            if (options.scale != "1" && options.scale != "1.5" && options.scale != "2")
                usageError("--scale is 1, 1.5 or 2 (the sizes the editor is drawn at), got '" + options.scale + "'");
        } else if (name == "--ticks") {
            note("--ticks");
            options.ticks = parseWholeNumber("--ticks", value(), kMostTicks);
        } else if (name == "-j" || name == "--jobs") {
            note("--jobs");
            options.jobs = parseWholeNumber(name, value(), kMostJobs);
        } else if (name == "--plugin") {
            note("--plugin");
            options.pluginPath = value();
            if (options.pluginPath.empty()) usageError("--plugin needs a path");
        } else if (name == "--program") {
            options.program = value();
        } else if (name == "--set") {
            std::string setting = value();
            if (setting.find('=') == std::string::npos) usageError("--set: expected NAME=VALUE, got '" + setting + "'");
            options.settings.push_back(setting);
        } else if (name == "--oversample") {
            note("--oversample");
            const int factor = parseWholeNumber("--oversample", value(), 16);
            if (factor != 1 && factor != 2 && factor != 4 && factor != 8 && factor != 16)
                usageError("--oversample is 1, 2, 4, 8 or 16, got " + std::to_string(factor));
            options.oversample = factor;
        } else if (name == "--block") {
            note("--block");
            options.blockSize = parseWholeNumber("--block", value(), kLargestBlock);
        } else if (name == "--format") {
            note("--format");
            options.format = parseFormat(value());
        } else if (name == "--type") {
            note("--type");
            options.type = value();
            if (options.type.empty()) usageError("--type needs a type name");
        } else if (name == "--compression") {
            note("--compression");
            const std::string text = value();
            if (text.size() != 1 || text[0] < '0' || text[0] > '0' + kMostCompression)
                usageError("--compression: expected a level from 0 to " + std::to_string(kMostCompression) + ", got '" +
                           text + "'");
            options.compression = text[0] - '0';
        } else if (name == "--quality") {
            note("--quality");
            options.quality = parseQuality(value());
        } else if (name == "--bitrate") {
            note("--bitrate");
            const std::string text = value();
            options.bitrate = parseWholeNumber("--bitrate", text, kMostBitrate);
            if (*options.bitrate < kLeastBitrate)
                usageError("--bitrate: expected kbit/s from " + std::to_string(kLeastBitrate) + " to " +
                           std::to_string(kMostBitrate) + ", got '" + text + "'");
        } else if (name == "--suffix") {
            note("--suffix");
            options.suffix = value();
            if (options.suffix.empty() || options.suffix.find('/') != std::string::npos)
                usageError("--suffix: expected text for the output names, without '/', got '" + options.suffix + "'");
        } else if (name == "-n" || name == "--no-clobber") {
            noValue();
            note("--no-clobber");
            options.noClobber = true;
        } else if (name == "--dry-run") {
            noValue();
            note("--dry-run");
            options.dryRun = true;
        } else if (name == "--keep-times") {
            noValue();
            note("--keep-times");
            options.keepTimes = true;
        } else if (name == "--input-type") {
            note("--input-type");
            options.inputType = value();
            if (options.inputType != "raw")
                usageError("--input-type: only raw, for audio without a header; other types are told by their header");
        } else if (name == "-r" || name == "--rate") {
            note("--rate");
            options.rate = parseWholeNumber(name, value(), kMostRate);
        } else if (name == "-c" || name == "--channels") {
            note("--channels");
            options.channels = parseWholeNumber(name, value(), kMostChannels);
        } else if (name == "-e" || name == "--encoding") {
            note("--encoding");
            options.encoding = value();
            rawSubtype(options.encoding, 0);  // a word it knows
        } else if (name == "-b" || name == "--bits") {
            note("--bits");
            options.bits = parseWholeNumber(name, value(), 64);
        } else if (name == "--no-dither") {
            noValue();
            note("--no-dither");
            options.dither = false;
        } else if (name == "--in-place") {
            noValue();
            note("--in-place");
            options.inPlace = true;
        } else {
            usageError("unknown option '" + arg + "'");
        }
    }
    if (options.help || options.version) return options;

    if (modeOptions.size() > 1) usageError(modeOptions[0] + " and " + modeOptions[1] + " do not go together");
    if (!modeOptions.empty()) {
        const std::string& chosen = modeOptions[0];
        options.mode = chosen == "--demo"       ? Mode::Demo
                       : chosen == "--list"     ? Mode::List
                       : chosen == "--snapshot" ? Mode::Snapshot
                                                : Mode::Batch;
    }
    checkOptionsFitMode(options.mode, given);

    checkRawOptions(options, positional);

    switch (options.mode) {
    case Mode::List:
    case Mode::Snapshot:
        if (!positional.empty())
            usageError(std::string(modeOption(options.mode)) + " takes no " +
                       (options.mode == Mode::List ? "files" : "audio files"));
        break;
    case Mode::Demo:
        if (positional.size() != 1)
            usageError(positional.empty() ? "--demo needs an output file" : "--demo takes one output file and no input");
        options.outputPath = positional[0];
        break;
    case Mode::Batch:
        if (positional.empty()) usageError("-o DIR needs the input files to render into it");
        options.inputs = positional;
        break;
    case Mode::Render:
        if (positional.size() != 2)
            usageError(positional.size() < 2 ? "expected an input and an output file (or several inputs and -o DIR)"
                                             : "too many files: for several inputs name the output folder with -o DIR");
        options.inputs = {positional[0]};
        options.outputPath = positional[1];
        break;
    }
    return options;
}

std::string helpText() {
    std::string text = R"(Usage: varnox-render [OPTIONS] INPUT OUTPUT
       varnox-render [OPTIONS] -o DIR INPUT...
       varnox-render [OPTIONS] --demo OUTPUT
       varnox-render [OPTIONS] --list
       varnox-render [OPTIONS] --snapshot EDITOR.png [--ticks N] [--scale S]
       varnox-render --version | --help

Runs audio files through the Varnox drive plug-in, loaded as a VST 2 host
loads it, and writes the results.

Files:
  INPUT                 A sound file of any type the linked libsndfile reads
                        (listed below); "-" reads standard input. Its sample
                        rate is the plug-in's. Mono goes to both plug-in
                        inputs and comes back as mono. More channels go
                        through one plug-in instance per stereo pair (1+2,
                        3+4, ...); a last odd channel goes through an instance
                        of its own as mono, which gives the same as either
                        channel of a stereo pair of two equal channels.
  OUTPUT                Its type follows its extension (listed below); "-"
                        writes standard output (WAV unless --type says).
  -o, --output-dir DIR  Render each INPUT into folder DIR (made if missing)
                        under its own name, several at a time, each file with
                        its own plug-in instances.
  -j, --jobs N          Files at a time with -o (1-256; default: one per core).
  --suffix TEXT         With -o: each output is named INPUT's name with TEXT
                        before the extension (--suffix _driven: a_driven.wav),
                        so that renders can sit beside their inputs.
  -n, --no-clobber      Leave an existing output alone: its file is skipped,
                        with a line saying so.
  --dry-run             Say what would be written where (after every check of
                        the command line and the plug-in), and write nothing.
  --keep-times          Give each output its input's modification time.
  --type TYPE           Output type, for standard output or a name whose
                        extension tells none; with -o the outputs take TYPE as
                        their extension. It must agree with a known extension.
  --format float|24|16  Sample format of OUTPUT (default: that of INPUT where
                        the output type holds it, else 24-bit; 24 for the
                        demo).
  --no-dither           16- and 8-bit output is rounded to its steps by this
                        program after TPDF dither (two independent uniform
                        values of +-1/2 step added); this leaves the dither
                        out. Either way full scale clips (+1.0 is 32767).
  --compression N       FLAC output: compression level 0-8 (libFLAC's; 5 is
                        its usual default, 8 the smallest file).
  --quality Q           Ogg Vorbis, Opus and MP3 output: encoder quality 0-10,
                        10 the best (and largest); MP3 then varies its bit
                        rate.
  --bitrate KBPS        MP3 output: constant bit rate in kbit/s (8-320; the
                        encoder takes the nearest rate the sample rate
                        allows).
  --input-type raw      INPUT is headerless audio (as is a .raw or .pcm name),
                        described by the next four options, as sox takes them:
  -r, --rate N          its sample rate;
  -c, --channels N      its channels, interleaved;
  -e, --encoding ENC    its samples: signed-integer, unsigned-integer,
                        floating-point, u-law or a-law (also signed,
                        unsigned, float); with a raw OUTPUT (--type raw,
                        .raw) and no raw INPUT, the output's samples instead
                        of --format;
  -b, --bits N          their size: 8, 16, 24, 32 (signed), 32, 64 (float).
                        Bytes are in the machine's order.
  --in-place            Allow OUTPUT to be INPUT (the same file under any
                        name); the render replaces it once complete. A damaged
                        INPUT (see below) is never replaced.
  --demo                Render a built-in six-second stereo demo (plucked
                        chords, a drum loop and a quiet tail) instead of INPUT.

Plug-in settings (applied in this order):
  --program N|NAME      Load factory program N (0-9) or the program of that
                        name. Names match ignoring case, trailing blanks and
                        runs of inner blanks: --program "raw power".
  --set NAME=VALUE      Set a parameter in the units its display shows
                        (repeatable): a percent (Attack=30, Drive=100%), the
                        gain in decibels (Ingain=-6, Ingain=+3dB), on/off for
                        a switch (Boost=on, "Times Two"=off). The nearest step
                        the plug-in can take is chosen, and the summary shows
                        it as the plug-in does (Ingain=-6 gives Ingain -5.9);
                        values beyond the displayed range (by more than 0.05)
                        are refused.
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
  --scale S             The editor as a high-density screen shows it: 1
                        (500 x 140, the default), 1.5 or 2 (1000 x 280).

Host:
  --block N             Block size in sample frames (1-65536, default 512).
  --oversample N        Run the plug-in at N times the file's rate (2, 4, 8
                        or 16), the file resampled up and back down with
                        libsoxr at its very-high quality: a shaper's
                        harmonics above the audio band then no longer fold
                        back into it. The output is aligned with the input.
  --plugin PATH         The plug-in library (default: ORv_Varnox.so beside
                        this program); a bare file name is in the current
                        folder.
  -q, --quiet           No progress bar and no summary.
  --version             The program's version and libsndfile's.
  -h, --help            This text.

An option that does nothing in the chosen mode (--ticks without --snapshot,
--format with --list, -j without -o) is refused.

After each file a summary line gives the input and output peak and RMS
levels in dBFS (samples that are not finite numbers are counted, not
measured), whether the plug-in's clip indicator fired (the input, scaled by
Ingain, passed full scale; the plug-in then clamps it), and the real-time
factor (rendering time / audio duration; "-" for a render too short to time);
then, where there were any, how many samples the output clipped at full scale
(every integer and codec output; float holds any level) and which of the
input's tags, BWF time reference, cue points, iXML and channel layout were
carried over. It goes to standard output, or to standard error when OUTPUT is
"-". On a terminal, standard error shows one progress bar for the whole run.

24-bit output is rounded to its steps; 16- and 8-bit output is dithered as
--no-dither describes, each file and channel with a noise sequence of its
own, the same again for the same input name and settings.

Pipes and devices are read and written as the audio flows, in a few MB of
memory whatever the length. A WAV written to a pipe says its length is not
known, as sox does (AU likewise; FLAC, Ogg, MP3 and raw need no length);
types whose header is finished after the audio (AIFF, W64, CAF, ...) are
refused there. Standard input or output redirected to a file is that file.
MPEG audio read through a pipe is gathered first (up to 1 GB): its decoder
searches the file.

Files are never left half written: an output is written under a temporary
name beside it and takes its name only when complete, so a run that fails
or is stopped (Ctrl-C, Ctrl-\, a closed terminal, kill, a full disk, the
file-size limit) leaves no partial file and the previous file as it was. A
file that is replaced keeps its mode, its extended attributes and, where
the system allows, its owner; a symbolic link stays a link and the file it
names is written; a file with hard links, or in a folder that refuses the
rename (not writable, or sticky and another's), gets the finished render
copied into it, so that every name and attribute stays. A write-protected
output is refused, and so is an OUTPUT that is INPUT without --in-place. A
WAV output longer than WAV's 32-bit sizes allow is written as RF64 (from a
stream of unknown length, as RF64 made a WAV again at the end if it fits);
AIFF and AU outputs that long are refused.

A damaged input, one that ends before its header says or holds audio behind
the end its header declares, is rendered as far as it could be read and
written, with a warning saying how many frames were read of how many; the
exit status is then 4, so that a script notices the loss. With --in-place
such an input is not replaced: the render would hold only what was read.
A stream whose header says its length is unknown (sizes 0, 0x7FFFF000 or
0xFFFFFFFF) is read to its end and is not damaged; nor is a file with tag
chunks or an ID3v1 tag after its audio, nor a lossy file whose decoder
estimated its length.

Exit status: 0 success; 1 input, output or rendering failed; 2 bad command
line (option, program, parameter, value, or files that clash: the same file
in and out, two inputs for one output); 3 the plug-in did not load or made
no instance; 4 a damaged input was rendered (see above); 128 + N stopped by
signal N (130 Ctrl-C, 131 Ctrl-\, 129 hang-up, 143 kill), and the file
being written is not. Command-line errors are found before any file is
opened. With -o: the status of the first file that failed, else 4 when an
input was damaged; the other files are written all the same, and a stop
keeps those already finished.
)";
    std::vector<std::string> extensions;
    for (const std::string& name : outputTypeNames()) extensions.push_back("." + name);
    text += "\n" + wrapped("Types read: " + readableTypeList() + ".") + wrapped("Output types by extension: " + joinWords(extensions) + ".");
    return text;
}
