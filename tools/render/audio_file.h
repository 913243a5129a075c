// Sound files through libsndfile, owned RAII-style. Samples are interleaved
// 32-bit floats, full scale at +-1.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>

#include "tools/render/options.h"

class SoundFileReader {
public:
    /// Opens a WAV, AIFF or FLAC file; throws ToolError with the reason.
    explicit SoundFileReader(const std::string& path);
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    int channels() const { return info.channels; }
    int sampleRate() const { return info.samplerate; }
    int64_t frames() const { return info.frames; }
    int format() const { return info.format; }
    /// Reads up to `frameCount` frames; fewer only at the end of the file.
    int64_t read(float* interleaved, int64_t frameCount);

private:
    std::string path;
    SF_INFO info{};
    SNDFILE* file = nullptr;
};

/// The libsndfile format for `outputPath`: container from its extension,
/// samples as `choice`, or as `inputFormat` (0: none) where the container
/// holds them. Throws ToolError for an extension or combination it cannot write.
int outputFormatFor(const std::string& outputPath, SampleFormat choice, int inputFormat);

/// Writes into a temporary file beside the destination; commit() renames it
/// into place. Destroyed without commit (an error, an interruption), it removes
/// the temporary file, so the destination is either complete or untouched.
class SoundFileWriter {
public:
    SoundFileWriter(const std::string& path, int format, int channels, int sampleRate);
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    void write(const float* interleaved, int64_t frameCount);
    void commit();
    const std::string& temporaryPath() const { return tempPath; }

private:
    void discard();

    std::string path;
    std::string tempPath;
    SNDFILE* file = nullptr;
    bool committed = false;
};
