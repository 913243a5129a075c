// The command line of varnox-render.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class SampleFormat { Same, Float, Pcm24, Pcm16 };

/// What a command line asks for; every option belongs to some of these.
enum class Mode { Render, Batch, Demo, List, Snapshot };

struct Options {
    Mode mode = Mode::Render;
    std::vector<std::string> inputs;  // "-": standard input; one for Render, one or more for Batch
    std::string outputPath;           // Render and Demo; "-": standard output
    std::string outputDir;            // Batch: -o DIR
    std::string pluginPath;           // empty: the library next to the program
    std::string snapshotPath;         // Snapshot: a PNG of the editor instead of audio
    int ticks = 40;                   // editor ticks before the snapshot
    std::string scale = "1";          // the editor's scale for the snapshot: 1, 1.5 or 2
    std::optional<std::string> program;  // number or name
    std::vector<std::string> settings;   // "NAME=VALUE", applied in order after the program
    int blockSize = 512;
    int oversample = 1;  // the plug-in runs at this multiple of the file's rate
    SampleFormat format = SampleFormat::Same;
    std::string type;  // --type: output type name, empty: from the output's name
    bool dither = true;
    std::optional<int> compression;  // --compression: FLAC level 0-8
    std::optional<double> quality;   // --quality: Vorbis, Opus, MP3 VBR, 0-10 (10 best)
    std::optional<int> bitrate;      // --bitrate: MP3 constant bit rate in kbit/s
    // Headerless audio, described as sox users do (-r -c -e -b): the input
    // with --input-type raw (or a .raw/.pcm name), and a raw output's samples.
    std::string inputType;  // "raw" or empty
    int rate = 0;
    int channels = 0;
    std::string encoding;  // signed-integer, unsigned-integer, floating-point, u-law, a-law
    int bits = 0;
    bool inPlace = false;
    std::string suffix;      // Batch: added to each output's name before its extension
    bool noClobber = false;  // leave existing outputs alone
    bool dryRun = false;     // say what would be written, write nothing
    bool keepTimes = false;  // outputs take their input's modification time
    int jobs = 0;  // Batch: files at a time; 0: one per core
    bool quiet = false;
    bool help = false;
    bool version = false;
};

/// Parses argv; throws ToolError (kExitUsage) with a one-line message, also
/// for an option that would do nothing in the mode the command line asks for.
Options parseOptions(int argc, const char* const* argv);

/// The plug-in path as given to the loader: a bare file name means the file
/// in the current folder, not a search of the library path.
std::string pluginFilePath(const std::string& option);

/// The libsndfile subtype of `encoding` at `bits` (0: the encoding's only
/// size), or 0 when there is none; throws ToolError (kExitUsage) for a word
/// it does not know.
int rawSubtype(const std::string& encoding, int bits);

/// Whether `path` names headerless audio by its extension (.raw, .pcm).
bool rawName(const std::string& path);

/// The text --help prints.
std::string helpText();
