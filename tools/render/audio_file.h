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
#include "tools/render/stream_file.h"

class OutputFile;

/// What headerless input holds; format 0: the input has a header.
struct RawLayout {
    int format = 0;  // SF_FORMAT_RAW and the samples
    int channels = 0;
    int sampleRate = 0;
};

class SoundFileReader {
public:
    /// Opens `path` ("-": standard input) in any format libsndfile reads;
    /// throws ToolError with the reason. Pipes and devices are read as they
    /// come, in bounded memory; only MPEG audio, which is decoded from a file
    /// that can be searched, is gathered whole (up to a limit).
    /// Without `waitForWriter` a named pipe nobody writes to reads as empty
    /// instead of holding the open until someone does.
    explicit SoundFileReader(const std::string& path, bool waitForWriter = true, const RawLayout& raw = {});
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    int channels() const { return info.channels; }
    int sampleRate() const { return info.samplerate; }
    int format() const { return info.format; }
    /// Frames to expect: what the header promises where it says, else what
    /// libsndfile counts or estimates (0 where nobody knows).
    int64_t frames() const;
    /// Whether frames() is what the file holds rather than an estimate.
    bool exactLength() const;
    /// The libsndfile handle, for the metadata a render carries over.
    SNDFILE* handle() const { return file; }
    /// A stop or a read failure of a stream, after read() came up short.
    void checkStream() const;
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
    /// `descriptor` a pipe or device; stays the caller's.
    void openStream(int descriptor);

    std::string shownName;
    SF_INFO info{};
    SNDFILE* file = nullptr;
    std::unique_ptr<MemoryFile> memory;
    std::unique_ptr<StreamInput> stream;
    int streamDescriptor = -1;  // a named pipe opened here
    DeclaredLength declared;
    int64_t framesRead = 0;
    std::string readError;
};

/// What the encoders are asked for; checked against the output type before
/// any file is opened (checkEncoderSettings).
struct EncoderSettings {
    std::optional<int> compression;  // FLAC level 0-8
    std::optional<double> quality;   // Vorbis, Opus, MP3: 0-10, 10 best
    std::optional<int> bitrate;      // MP3 constant bit rate, kbit/s
};

struct WriterSettings {
    int format = 0;  // libsndfile's, container and samples
    int channels = 0;
    int sampleRate = 0;
    bool dither = true;  // where the tool dithers: 16- and 8-bit samples
    uint32_t ditherSeed = Quantiser::kDefaultSeed;
    int64_t expectedFrames = 0;  // 0: not known
    bool exactLength = false;    // expectedFrames is what will come
    SoundFileReader* metadataFrom = nullptr;  // tags, markers and layout to carry over
    EncoderSettings encoder;
};

/// Writes a render through an OutputFile: into its temporary file, straight
/// into a file on standard output, or as a stream into a pipe. commit()
/// finishes the file and hands it over; destroyed without commit, nothing
/// reaches a file destination.
class SoundFileWriter {
public:
    /// A WAV too long for its 32-bit sizes becomes RF64; other types with
    /// such sizes are refused before anything is written (ToolError).
    SoundFileWriter(OutputFile& output, const WriterSettings& settings);
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    void write(const float* interleaved, int64_t frameCount);
    void commit();
    /// "FLAC, 16-bit PCM, TPDF dither": what the file holds.
    std::string description() const;
    /// Samples beyond full scale that the output could not hold.
    int64_t clipped() const { return clippedSamples; }
    /// What of the input's metadata the output holds ("title, cue points").
    const std::vector<std::string>& carried() const { return carriedItems; }

private:
    [[noreturn]] void fail(const std::string& reason) const;
    /// A valid file of this type without samples, where libsndfile makes one.
    std::optional<std::vector<unsigned char>> emptyFile() const;

    void carryMetadata(SoundFileReader& from);
    void applyEncoderSettings(const EncoderSettings& encoder);
    void countClips(const float* interleaved, size_t count);

    OutputFile& output;
    int format;
    int channelCount;
    int sampleRate;
    std::unique_ptr<StreamOutput> stream;
    SNDFILE* file = nullptr;
    std::optional<Quantiser> quantiser;
    std::vector<int32_t> words;
    int64_t framesWritten = 0;
    int64_t bytesPerFrame = 0;  // 0: not a fixed size
    int64_t mostFrames = 0;     // 0: no limit
    bool downgrade = false;     // RF64 that becomes WAV at the end if it fits
    int64_t clippedSamples = 0;
    std::vector<std::string> carriedItems;
    std::vector<std::vector<unsigned char>> chunkData;
};

/// Refuses (ToolError, kExitUsage) encoder settings the output type has no
/// encoder for: `container` and `subtype` are the type's (subtype 0: any).
void checkEncoderSettings(const EncoderSettings& encoder, int container, int subtype, const std::string& output);
