// The sound file types the linked libsndfile writes, named by file extension,
// and the choice of sample format within one. Everything here comes from the
// library's own format lists, so a libsndfile with more codecs offers more.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/render/options.h"

struct OutputType {
    std::string name;      // the extension that chose it, lower case, no dot: "flac"
    int container = 0;     // SF_FORMAT_TYPEMASK part
    int fixedSubtype = 0;  // a codec the name implies (ogg: Vorbis, mp3: Layer III), or 0
};

/// The type an extension ("flac", ".FLAC") names, if libsndfile writes it.
std::optional<OutputType> outputTypeNamed(const std::string& extension);

/// Every extension outputTypeNamed knows, sorted.
std::vector<std::string> outputTypeNames();

/// The output type for a render: --type when given (it must agree with a
/// known extension of `path`), else the extension of `path`; checks that
/// --format fits it. Throws ToolError (kExitUsage).
OutputType resolveOutputType(const std::string& path, const std::string& typeOption, SampleFormat format,
                             bool noDither);

/// The full libsndfile format for a render into `type`: --format when given;
/// else the type's codec; else the input's samples when the container holds
/// them at this channel count and rate; else the best linear format it holds.
int chooseOutputFormat(const OutputType& type, SampleFormat format, int inputFormat, int channels, int sampleRate);

/// Bits of the integer samples `format` stores when the tool quantises them
/// itself (24, 16 or 8), or 0 when libsndfile converts (float, codecs).
int quantisedBits(int format);

/// Whether the tool dithers `format` (16 and 8 bits; 24 bits are only rounded).
bool ditherable(int format);

/// "WAV", "FLAC": the container of a libsndfile format, or "unknown".
std::string containerName(int format);

/// "16-bit PCM", "float", "Vorbis": how the summary names a format's samples.
std::string sampleFormatName(int format);

/// The major formats the linked libsndfile knows, for --help: "AIFF, AU, ...".
std::string readableTypeList();

/// "a, b, c".
std::string joinWords(const std::vector<std::string>& words);

/// Lower-case extension of `path` without the dot, or empty.
std::string extensionOf(const std::string& path);
