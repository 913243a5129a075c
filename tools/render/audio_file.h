// Sound files through libsndfile, owned RAII-style. Samples are interleaved
// 32-bit floats, full scale at +-1.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/render/container_check.h"
#include "tools/render/dither.h"
#include "tools/render/memory_file.h"

class OutputFile;

class SoundFileReader {
public:
    /// Opens `path` ("-": standard input, read whole into memory, as are
    /// pipes) in any format libsndfile reads; throws ToolError with the reason.
    /// Without `waitForWriter` a named pipe nobody writes to reads as empty
    /// instead of holding the open until someone does.
    explicit SoundFileReader(const std::string& path, bool waitForWriter = true);
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    int channels() const { return info.channels; }
    int sampleRate() const { return info.samplerate; }
    int format() const { return info.format; }
    /// Frames to expect: what the header promises where it says, else what
    /// libsndfile counts (0 where nobody knows).
    int64_t frames() const;
    /// Reads up to `frameCount` frames; fewer only at the end of the file. A
    /// decoding error ends the file there; damage() then tells.
    int64_t read(float* interleaved, int64_t frameCount);
    /// Once read to the end: why fewer frames came than the file promised or
    /// holds, or nothing when it was whole.
    std::optional<std::string> damage() const;

private:
    /// `descriptor`: `path` opened for reading, `fileSize` bytes long; closed here.
    void openFile(const std::string& path, int descriptor, int64_t fileSize);
    void openMemory(std::vector<unsigned char> bytes);

    std::string shownName;
    SF_INFO info{};
    SNDFILE* file = nullptr;
    std::unique_ptr<MemoryFile> memory;
    DeclaredLength declared;
    int64_t framesRead = 0;
    std::string readError;
};

/// Writes a render through an OutputFile: into its temporary file, or into
/// memory for a stream. commit() finishes the file and hands it over;
/// destroyed without commit, nothing reaches the destination.
class SoundFileWriter {
public:
    /// `dither` applies where the tool quantises (16- and 8-bit samples).
    SoundFileWriter(OutputFile& output, int format, int channels, int sampleRate, bool dither);
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    void write(const float* interleaved, int64_t frameCount);
    void commit();
    /// "FLAC, 16-bit PCM, TPDF dither": what the file holds.
    std::string description() const;

private:
    [[noreturn]] void fail(const std::string& reason) const;
    /// A valid file of this type without samples, where libsndfile makes one.
    std::optional<std::vector<unsigned char>> emptyFile() const;

    OutputFile& output;
    int format;
    int channelCount;
    int sampleRate;
    std::unique_ptr<MemoryFile> memory;
    SNDFILE* file = nullptr;
    std::optional<Quantiser> quantiser;
    std::vector<int16_t> words;
    int64_t framesWritten = 0;
};
