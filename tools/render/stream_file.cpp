#include "tools/render/stream_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/render/tool_error.h"

namespace {

// What a stream answers for its length: beyond any real file, so that no
// header size is cut to it, yet far from overflowing the sums made with it.
constexpr sf_count_t kUnknownLength = sf_count_t{1} << 60;
// A read this far beyond what has come is a look for trailing chunks or a
// length, not a step through the audio: it finds nothing.
constexpr int64_t kLongestSkip = 1 << 20;
constexpr size_t kPiece = 1 << 16;
constexpr uint32_t kLargestWavSize = 0xFFFFFFFFu;

uint32_t little32(const unsigned char* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

void putLittle32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

void putBig32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * (3 - i)));
}

// Offset of the size field of a RIFF/WAVE header's data chunk within
// `bytes`, or 0 when the header does not get that far.
size_t wavDataSizeAt(const std::vector<unsigned char>& bytes) {
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return 0;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        if (std::memcmp(bytes.data() + at, "data", 4) == 0) return at + 4;
        uint64_t next = at + 8 + static_cast<uint64_t>(little32(bytes.data() + at + 4));
        next += next & 1;
        if (next > bytes.size()) return 0;
        at = static_cast<size_t>(next);
    }
    return 0;
}

// LAME reserves its first frame for a Xing tag and fills it in at the end,
// with the frame count; left empty, decoders take the stream for constant
// bit rate and estimate a length from the first frame, which a variable
// rate makes wrong (libsndfile stops there). A Xing tag without counts says
// "length unknown" instead.
void markMpegLengthUnknown(std::vector<unsigned char>& bytes) {
    size_t at = 0;
    if (bytes.size() >= 10 && std::memcmp(bytes.data(), "ID3", 3) == 0)  // ID3v2: a syncsafe size
        at = 10 + (size_t{bytes[6]} << 21 | size_t{bytes[7]} << 14 | size_t{bytes[8]} << 7 | bytes[9]);
    if (at + 4 > bytes.size() || bytes[at] != 0xFF || (bytes[at + 1] & 0xE0) != 0xE0) return;
    const bool mpeg1 = (bytes[at + 1] & 0x18) == 0x18;
    const bool mono = (bytes[at + 3] & 0xC0) == 0xC0;
    const size_t tag = at + 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    if (tag + 8 > bytes.size()) return;
    for (size_t i = at + 4; i < tag + 8; ++i)
        if (bytes[i] != 0) return;  // a frame with audio, or a tag already: leave it
    std::memcpy(bytes.data() + tag, "Xing\0\0\0\0", 8);
}

}  // namespace

bool streamable(int format) {
    switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_AU:
    case SF_FORMAT_RAW:
    case SF_FORMAT_FLAC:
    case SF_FORMAT_OGG:
    case SF_FORMAT_MPEG:
        return true;
    default:
        return false;
    }
}

StreamInput::StreamInput(int descriptor, std::string shownName) : descriptor(descriptor), shownName(std::move(shownName)) {}

bool StreamInput::fill() {
    if (ended) return false;
    unsigned char piece[kPiece];
    ssize_t got;
    do got = ::read(descriptor, piece, sizeof piece);
    while (got < 0 && errno == EINTR && stopsignals::received() == 0);
    if (got <= 0) {
        // A stop or a failure ends the stream here; the reader asks why.
        if (got < 0 && errno != EINTR) readError = std::strerror(errno);
        ended = true;
        return false;
    }
    const size_t count = static_cast<size_t>(got);
    if (headBytes.size() < kHeadBytes) {
        size_t keep = std::min(count, kHeadBytes - headBytes.size());
        headBytes.insert(headBytes.end(), piece, piece + keep);
    }
    window.insert(window.end(), piece, piece + count);
    received += got;
    if (window.size() > 2 * kWindowBytes) {
        size_t drop = window.size() - kWindowBytes;
        window.erase(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(drop));
        windowStart += static_cast<int64_t>(drop);
    }
    return true;
}

void StreamInput::begin() {
    // Enough for any header before libsndfile looks: the unknown sizes are
    // set before it reads them.
    while (headBytes.size() < 4096 && fill()) {}
    if (int signal = stopsignals::received()) throw interruptedError(signal);
    if (!readError.empty()) throw ToolError(kExitFailure, "cannot read " + shownName + ": " + readError);
    size_t at = wavDataSizeAt(headBytes);
    if (at == 0 || at + 4 > headBytes.size()) return;
    uint32_t declared = little32(headBytes.data() + at);
    if (declared != 0 && declared != kStreamedWavDataSize && declared != kLargestWavSize) return;
    unknownLength = true;
    putLittle32(headBytes.data() + at, kLargestWavSize);
    putLittle32(headBytes.data() + 4, kLargestWavSize);
    std::copy(headBytes.begin(), headBytes.begin() + static_cast<std::ptrdiff_t>(std::min(headBytes.size(), window.size())),
              window.begin());
}

std::vector<unsigned char> StreamInput::readAll(size_t limit) {
    std::vector<unsigned char> bytes(window.begin(), window.end());
    if (windowStart != 0) throw ToolError(kExitFailure, "cannot read " + shownName + ": read past its start");
    unsigned char piece[kPiece];
    while (!ended) {
        ssize_t got = retryUnlessStopped([&] { return ::read(descriptor, piece, sizeof piece); });
        if (got < 0) throw ToolError(kExitFailure, "cannot read " + shownName + ": " + std::strerror(errno));
        if (got == 0) break;
        bytes.insert(bytes.end(), piece, piece + got);
        if (bytes.size() > limit)
            throw ToolError(kExitFailure, "cannot read " + shownName + ": this type is decoded from a file that can "
                            "be searched, and more than " + std::to_string(limit >> 20) +
                            " MB came through the pipe; name the file instead");
    }
    return bytes;
}

SNDFILE* StreamInput::open(SF_INFO* info) {
    static SF_VIRTUAL_IO calls{&StreamInput::length, &StreamInput::seek, &StreamInput::read, &StreamInput::write,
                               &StreamInput::tell};
    position = 0;
    return sf_open_virtual(&calls, SFM_READ, info, this);
}

sf_count_t StreamInput::length(void*) { return kUnknownLength; }

sf_count_t StreamInput::seek(sf_count_t offset, int whence, void* self) {
    auto* stream = static_cast<StreamInput*>(self);
    sf_count_t base = whence == SEEK_CUR ? stream->position : whence == SEEK_END ? kUnknownLength : 0;
    if (base + offset < 0) return -1;
    stream->position = base + offset;
    return stream->position;
}

sf_count_t StreamInput::readAt(unsigned char* destination, sf_count_t count) {
    sf_count_t done = 0;
    while (done < count) {
        const int64_t at = position;
        const unsigned char* from = nullptr;
        int64_t available = 0;
        if (at < static_cast<int64_t>(headBytes.size())) {
            from = headBytes.data() + at;
            available = static_cast<int64_t>(headBytes.size()) - at;
        } else if (at >= windowStart && at < received) {
            from = window.data() + (at - windowStart);
            available = received - at;
        } else if (at >= received && at - received <= kLongestSkip) {
            if (!fill()) break;
            continue;
        } else {
            searchedAway = true;
            break;  // far ahead, or behind the window: nothing there
        }
        sf_count_t take = std::min<sf_count_t>(count - done, available);
        std::memcpy(destination + done, from, static_cast<size_t>(take));
        done += take;
        position += take;
    }
    return done;
}

sf_count_t StreamInput::read(void* destination, sf_count_t count, void* self) {
    return static_cast<StreamInput*>(self)->readAt(static_cast<unsigned char*>(destination), count);
}

sf_count_t StreamInput::write(const void*, sf_count_t, void*) { return 0; }

sf_count_t StreamInput::tell(void* self) { return static_cast<StreamInput*>(self)->position; }

StreamOutput::StreamOutput(int descriptor, std::string shownName)
    : descriptor(descriptor), shownName(std::move(shownName)) {}

SNDFILE* StreamOutput::open(int mode, SF_INFO* info) {
    static SF_VIRTUAL_IO calls{&StreamOutput::length, &StreamOutput::seek, &StreamOutput::read, &StreamOutput::write,
                               &StreamOutput::tell};
    position = 0;
    return sf_open_virtual(&calls, mode, info, this);
}

void StreamOutput::send(const unsigned char* bytes, size_t count) {
    size_t done = 0;
    while (done < count && error.empty()) {
        ssize_t written = ::write(descriptor, bytes + done, count - done);
        if (written < 0 && errno == EINTR && stopsignals::received() == 0) continue;
        if (written <= 0) {
            error = written < 0 && errno == EPIPE ? "the reader closed it"
                    : written < 0 && errno != EINTR ? std::strerror(errno)
                                                    : "interrupted";
            return;
        }
        done += static_cast<size_t>(written);
        // A signal after part of a write went through cuts it short without
        // EINTR; the next write to a stalled pipe would block for good.
        if (done < count && stopsignals::received() != 0) error = "interrupted";
    }
    sent += static_cast<int64_t>(done);
}

void StreamOutput::flow(int format, bool complete) {
    if (started) return;
    // libsndfile wrote its header with the sizes of no audio yet; a reader
    // of a stream must be told the length is not known instead.
    const int container = format & SF_FORMAT_TYPEMASK;
    if (complete) {
        // Nothing to mark: the header was finished in memory.
    } else if (container == SF_FORMAT_MPEG) {
        markMpegLengthUnknown(held);
    } else if (container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX) {
        if (size_t at = wavDataSizeAt(held); at != 0 && at + 4 <= held.size()) {
            putLittle32(held.data() + at, kStreamedWavDataSize);
            putLittle32(held.data() + 4, kStreamedWavDataSize + static_cast<uint32_t>(at + 4 - 8));
        }
    } else if (container == SF_FORMAT_AU && held.size() >= 12 && std::memcmp(held.data(), ".snd", 4) == 0) {
        putBig32(held.data() + 8, 0xFFFFFFFFu);
    }
    started = true;
    send(held.data(), held.size());
    held.clear();
    held.shrink_to_fit();
}

sf_count_t StreamOutput::length(void* self) { return static_cast<StreamOutput*>(self)->size; }

sf_count_t StreamOutput::seek(sf_count_t offset, int whence, void* self) {
    auto* stream = static_cast<StreamOutput*>(self);
    sf_count_t base = whence == SEEK_CUR ? stream->position : whence == SEEK_END ? stream->size : 0;
    if (base + offset < 0) return -1;
    stream->position = base + offset;
    return stream->position;
}

sf_count_t StreamOutput::read(void* destination, sf_count_t count, void* self) {
    auto* stream = static_cast<StreamOutput*>(self);
    if (stream->started || stream->position >= static_cast<sf_count_t>(stream->held.size())) return 0;
    sf_count_t take = std::min<sf_count_t>(count, static_cast<sf_count_t>(stream->held.size()) - stream->position);
    std::memcpy(destination, stream->held.data() + stream->position, static_cast<size_t>(take));
    stream->position += take;
    return take;
}

sf_count_t StreamOutput::write(const void* source, sf_count_t count, void* self) {
    auto* stream = static_cast<StreamOutput*>(self);
    const auto* bytes = static_cast<const unsigned char*>(source);
    if (!stream->error.empty()) return 0;
    const int64_t at = stream->position;
    if (!stream->started) {
        size_t end = static_cast<size_t>(at + count);
        if (end > stream->held.size()) stream->held.resize(end);
        std::memcpy(stream->held.data() + at, bytes, static_cast<size_t>(count));
    } else if (at + count > stream->sent) {
        // Bytes behind what went out (a header being finished) are dropped;
        // a gap ahead of it is filled with zeros, as a file would hold.
        static const unsigned char zeros[4096] = {};
        while (stream->sent < at && stream->error.empty())
            stream->send(zeros, static_cast<size_t>(std::min<int64_t>(sizeof zeros, at - stream->sent)));
        const int64_t skip = stream->sent - at;
        stream->send(bytes + skip, static_cast<size_t>(count - skip));
        if (!stream->error.empty()) return 0;
    }
    stream->position = at + count;
    stream->size = std::max(stream->size, stream->position);
    return count;
}

sf_count_t StreamOutput::tell(void* self) { return static_cast<StreamOutput*>(self)->position; }
