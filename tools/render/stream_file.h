// Pipes and devices seen through libsndfile's virtual I/O with bounded
// memory, whatever the length of what flows through them. libsndfile treats
// a virtual file as seekable: reading, it may look behind the audio for more
// chunks or at the end for a length; writing, it goes back to finish the
// header. Neither is possible on a pipe, and neither is needed to carry the
// audio, so both are answered here without holding the stream.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

/// Standard input or a named pipe, read as it comes. The first kHeadBytes
/// stay for the header to be read again; behind them a window of the most
/// recent bytes serves short steps back. A read that would have to skip far
/// ahead of what has come (a length search at the end, chunks behind the
/// audio) finds nothing instead of swallowing the stream.
class StreamInput {
public:
    static constexpr size_t kHeadBytes = 1 << 20;
    static constexpr size_t kWindowBytes = 4 << 20;

    /// `descriptor` stays open and owned by the caller.
    StreamInput(int descriptor, std::string shownName);
    StreamInput(const StreamInput&) = delete;
    StreamInput& operator=(const StreamInput&) = delete;

    /// Reads the start of the stream; a WAV whose sizes say "unknown" (0,
    /// 0x7FFFF000 as sox writes, 0xFFFFFFFF) is given the largest size, so
    /// that it is read to its end. Throws ToolError on a read failure or stop.
    void begin();
    SNDFILE* open(SF_INFO* info);
    /// What has come so far of the start: the header.
    const std::vector<unsigned char>& head() const { return headBytes; }
    /// Whether begin() found a WAV data size that stood for "unknown".
    bool lengthUnknown() const { return unknownLength; }
    /// Whether the stream ended inside the bytes read so far.
    /// Why the stream ended early, empty when it simply ended.
    const std::string& failure() const { return readError; }
    /// Whether libsndfile looked far ahead or back, where a pipe has nothing.
    bool searched() const { return searchedAway; }
    /// Reads the whole stream into memory (for a decoder that must seek),
    /// refusing beyond `limit` bytes.
    std::vector<unsigned char> readAll(size_t limit);

private:
    static sf_count_t length(void* self);
    static sf_count_t seek(sf_count_t offset, int whence, void* self);
    static sf_count_t read(void* destination, sf_count_t count, void* self);
    static sf_count_t write(const void* source, sf_count_t count, void* self);
    static sf_count_t tell(void* self);

    /// Appends the next piece of the stream; false at its end.
    bool fill();
    sf_count_t readAt(unsigned char* destination, sf_count_t count);

    int descriptor;
    std::string shownName;
    std::vector<unsigned char> headBytes;
    std::vector<unsigned char> window;  // bytes [windowStart, received)
    int64_t windowStart = 0;
    int64_t received = 0;
    int64_t position = 0;
    bool ended = false;
    bool unknownLength = false;
    bool searchedAway = false;
    std::string readError;
};

/// Standard output or a named pipe, written as the render goes. What
/// libsndfile writes before the first samples is held until flow() sends it,
/// with its sizes set to "unknown" where the type has such a value; writes
/// behind what was sent (the header finished at the end) are dropped.
class StreamOutput {
public:
    /// `descriptor` stays owned by the caller; `shownName` for messages.
    StreamOutput(int descriptor, std::string shownName);
    StreamOutput(const StreamOutput&) = delete;
    StreamOutput& operator=(const StreamOutput&) = delete;

    SNDFILE* open(int mode, SF_INFO* info);
    /// Marks the held header's sizes unknown for `format` and sends it;
    /// from here on every write goes straight out. `complete`: libsndfile has
    /// closed the file, and what is held is the whole file, sent as it is.
    void flow(int format, bool complete = false);
    bool flowing() const { return started; }
    size_t heldBytes() const { return held.size(); }
    /// A write failure (the reader went away, a full disk), empty if none.
    const std::string& failure() const { return error; }

private:
    static sf_count_t length(void* self);
    static sf_count_t seek(sf_count_t offset, int whence, void* self);
    static sf_count_t read(void* destination, sf_count_t count, void* self);
    static sf_count_t write(const void* source, sf_count_t count, void* self);
    static sf_count_t tell(void* self);

    void send(const unsigned char* bytes, size_t count);

    int descriptor;
    std::string shownName;
    std::vector<unsigned char> held;
    bool started = false;
    int64_t sent = 0;
    int64_t position = 0;
    int64_t size = 0;
    std::string error;
};

/// Whether a render into `format` can go through a pipe: its header is whole
/// before the audio, or says "unknown length" in a way readers accept.
bool streamable(int format);

/// What of an MP3 stream is held before it flows: enough for its tag frame.
constexpr size_t kMpegHeadBytes = 8192;

/// The RIFF size and data size a streamed WAV carries, as sox writes them.
constexpr uint32_t kStreamedWavDataSize = 0x7FFFF000u;
