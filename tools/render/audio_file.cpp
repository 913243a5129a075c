#include "tools/render/audio_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "tools/render/tool_error.h"

namespace fs = std::filesystem;

namespace {

std::string lowerExtension(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool readableContainer(int format) {
    switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_RF64:
    case SF_FORMAT_AIFF:
    case SF_FORMAT_FLAC:
        return true;
    default:
        return false;
    }
}

std::string containerName(int format) {
    SF_FORMAT_INFO formatInfo{};
    formatInfo.format = format & SF_FORMAT_TYPEMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &formatInfo, sizeof formatInfo) == 0 && formatInfo.name)
        return formatInfo.name;
    return "unknown";
}

// libsndfile's messages carry a "System error : " prefix and a final period;
// the tool's one-line errors read better without both.
std::string cleanMessage(const char* message) {
    std::string text = message != nullptr ? message : "unknown error";
    const std::string prefix = "System error : ";
    if (text.rfind(prefix, 0) == 0) text.erase(0, prefix.size());
    while (!text.empty() && (text.back() == '.' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

SoundFileReader::SoundFileReader(const std::string& inputPath) : path(inputPath) {
    // Check with the C library first: its reasons (no such file, permission
    // denied) are clearer than a decoder's.
    std::error_code error;
    if (fs::is_directory(path, error)) throw ToolError(kExitFailure, "cannot read input '" + path + "': is a directory");
    if (std::FILE* probe = std::fopen(path.c_str(), "rb")) {
        std::fclose(probe);
    } else {
        throw ToolError(kExitFailure, "cannot read input '" + path + "': " + std::strerror(errno));
    }
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        throw ToolError(kExitFailure, "unsupported input '" + path + "': " + cleanMessage(sf_strerror(nullptr)));
    if (!readableContainer(info.format)) {
        std::string name = containerName(info.format);
        sf_close(file);
        file = nullptr;
        throw ToolError(kExitFailure, "unsupported input '" + path + "': " + name + " (WAV, AIFF and FLAC are read)");
    }
}

SoundFileReader::~SoundFileReader() {
    if (file != nullptr) sf_close(file);
}

int64_t SoundFileReader::read(float* interleaved, int64_t frameCount) {
    sf_count_t got = sf_readf_float(file, interleaved, frameCount);
    if (got < frameCount && sf_error(file) != SF_ERR_NO_ERROR)
        throw ToolError(kExitFailure, "cannot read input '" + path + "': " + cleanMessage(sf_strerror(file)));
    return got;
}

int outputFormatFor(const std::string& outputPath, SampleFormat choice, int inputFormat) {
    std::string extension = lowerExtension(outputPath);
    int container = 0;
    if (extension == ".wav") container = SF_FORMAT_WAV;
    else if (extension == ".aif" || extension == ".aiff") container = SF_FORMAT_AIFF;
    else if (extension == ".flac") container = SF_FORMAT_FLAC;
    else
        throw ToolError(kExitUsage, "cannot tell the output type of '" + outputPath +
                                        "': name it .wav, .aiff or .flac");

    auto holds = [container](int subtype) {
        SF_INFO probe{};
        probe.format = container | subtype;
        probe.channels = 2;
        probe.samplerate = 44100;
        return sf_format_check(&probe) != 0;
    };
    int subtype = 0;
    switch (choice) {
    case SampleFormat::Float: subtype = SF_FORMAT_FLOAT; break;
    case SampleFormat::Pcm24: subtype = SF_FORMAT_PCM_24; break;
    case SampleFormat::Pcm16: subtype = SF_FORMAT_PCM_16; break;
    case SampleFormat::Same:
        subtype = inputFormat != 0 ? (inputFormat & SF_FORMAT_SUBMASK) : SF_FORMAT_PCM_24;
        // The input's samples may not fit the output's container (float into
        // FLAC): 24-bit keeps the most of them.
        if (!holds(subtype)) subtype = SF_FORMAT_PCM_24;
        break;
    }
    if (!holds(subtype))
        throw ToolError(kExitUsage, "--format float: " + extension.substr(1) + " files cannot hold float samples");
    return container | subtype;
}

SoundFileWriter::SoundFileWriter(const std::string& outputPath, int format, int channels, int sampleRate)
    : path(outputPath) {
    std::error_code error;
    if (fs::is_directory(path, error))
        throw ToolError(kExitFailure, "cannot write output '" + path + "': is a directory");

    // A fresh name in the destination's directory, so the final rename stays
    // within one file system; "x" refuses to reuse a name that exists.
    std::random_device entropy;
    std::FILE* claim = nullptr;
    for (int attempt = 0; attempt < 16 && claim == nullptr; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x.part", static_cast<unsigned>(entropy()));
        tempPath = path + suffix;
        claim = std::fopen(tempPath.c_str(), "wbx");
        if (claim == nullptr && errno != EEXIST) break;
    }
    if (claim == nullptr)
        throw ToolError(kExitFailure, "cannot write output '" + path + "': " + std::strerror(errno));
    std::fclose(claim);

    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    file = sf_open(tempPath.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        std::string reason = cleanMessage(sf_strerror(nullptr));
        discard();
        throw ToolError(kExitFailure, "cannot write output '" + path + "': " + reason);
    }
    // Samples beyond full scale saturate in integer formats instead of wrapping.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

SoundFileWriter::~SoundFileWriter() {
    if (!committed) discard();
}

void SoundFileWriter::write(const float* interleaved, int64_t frameCount) {
    if (sf_writef_float(file, interleaved, frameCount) != frameCount)
        throw ToolError(kExitFailure, "cannot write output '" + path + "': " + cleanMessage(sf_strerror(file)));
}

void SoundFileWriter::commit() {
    // sf_close writes the header sizes; a failure there (a full disk) is a
    // failed output, not a finished one.
    int closeError = sf_close(file);
    file = nullptr;
    if (closeError != 0)
        throw ToolError(kExitFailure, "cannot write output '" + path + "': " + cleanMessage(sf_error_number(closeError)));
    std::error_code error;
    fs::rename(tempPath, path, error);
    if (error) throw ToolError(kExitFailure, "cannot write output '" + path + "': " + error.message());
    committed = true;
}

void SoundFileWriter::discard() {
    if (file != nullptr) sf_close(file);
    file = nullptr;
    std::error_code error;
    fs::remove(tempPath, error);
}
