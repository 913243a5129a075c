#include "tools/render/container_check.h"

#include <sndfile.h>

#include <array>
#include <cstring>

namespace {

// Enough for any real file; a corrupt one cannot keep the walk going forever.
constexpr int kMostChunks = 10000;
constexpr uint32_t kUnknownSize32 = 0xFFFFFFFFu;
constexpr uint32_t kSoxUnknownSize = 0x7FFFF000u;

}  // namespace

int bytesPerSample(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 1;
    case SF_FORMAT_PCM_16: return 2;
    case SF_FORMAT_PCM_24: return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE: return 8;
    default: return 0;
    }
}

namespace {

class Bytes {
public:
    Bytes(const ByteReader& read, int64_t size) : reader(read), fileSize(size) {}
    int64_t size() const { return fileSize; }

    bool get(int64_t offset, void* buffer, size_t count) const {
        return offset >= 0 && offset + static_cast<int64_t>(count) <= fileSize &&
               reader(offset, buffer, count) == count;
    }
    bool id(int64_t offset, const char* expected) const {
        char text[4];
        return get(offset, text, 4) && std::memcmp(text, expected, 4) == 0;
    }
    uint64_t number(int64_t offset, int width, bool bigEndian) const {
        std::array<unsigned char, 8> raw{};
        if (!get(offset, raw.data(), static_cast<size_t>(width))) return 0;
        uint64_t value = 0;
        for (int i = 0; i < width; ++i) {
            unsigned char byte = bigEndian ? raw[static_cast<size_t>(i)] : raw[static_cast<size_t>(width - 1 - i)];
            value = value << 8 | byte;
        }
        return value;
    }
    bool printableId(int64_t offset) const {
        unsigned char text[4];
        if (!get(offset, text, 4)) return false;
        for (unsigned char c : text)
            if (c < 0x20 || c > 0x7E) return false;
        return true;
    }
    // True when nothing but zero bytes (padding some writers add) lies from `offset` on.
    bool zeroFrom(int64_t offset) const {
        std::array<unsigned char, 4096> block{};
        while (offset < fileSize) {
            size_t count = static_cast<size_t>(std::min<int64_t>(block.size(), fileSize - offset));
            if (!get(offset, block.data(), count)) return false;
            for (size_t i = 0; i < count; ++i)
                if (block[i] != 0) return false;
            offset += static_cast<int64_t>(count);
        }
        return true;
    }

private:
    const ByteReader& reader;
    int64_t fileSize;
};

struct DataChunk {
    bool found = false;
    int64_t start = 0;       // first byte of the audio
    int64_t bytes = -1;      // declared audio bytes, -1 unknown
    int64_t end = 0;         // where the next chunk would begin
    int64_t frames = -1;     // declared frames where the header says so apart from the size
};

// Chunk formats: RIFF-style 4-byte ids and sizes (WAV, RF64, AIFF), or W64's
// 16-byte ids with 8-byte sizes that count their own header.
struct Layout {
    bool bigEndian = false;
    bool wave64 = false;
    int64_t firstChunk = 12;
    int headerSize() const { return wave64 ? 24 : 8; }
    int alignment() const { return wave64 ? 8 : 2; }
    int64_t bodySize(const Bytes& file, int64_t at) const {
        if (wave64) return static_cast<int64_t>(file.number(at + 16, 8, false)) - 24;
        return static_cast<int64_t>(file.number(at + 4, 4, bigEndian));
    }
};

int64_t aligned(int64_t offset, int alignment) { return (offset + alignment - 1) / alignment * alignment; }

DataChunk findData(const Bytes& file, const Layout& layout, bool rf64, bool aiff) {
    DataChunk data;
    int64_t size64 = -1;  // RF64's real data size, from its ds64 chunk
    int64_t at = layout.firstChunk;
    for (int chunk = 0; chunk < kMostChunks && at + layout.headerSize() <= file.size(); ++chunk) {
        int64_t body = layout.bodySize(file, at);
        int64_t bodyStart = at + layout.headerSize();
        if (body < 0) break;
        if (rf64 && file.id(at, "ds64")) size64 = static_cast<int64_t>(file.number(bodyStart + 8, 8, false));
        if (aiff && file.id(at, "COMM")) data.frames = static_cast<int64_t>(file.number(bodyStart + 2, 4, true));
        bool isData = aiff ? file.id(at, "SSND") : file.id(at, "data");
        if (isData) {
            data.found = true;
            data.start = bodyStart;
            data.bytes = body;
            if (aiff) {
                int64_t offset = static_cast<int64_t>(file.number(bodyStart, 4, true));
                data.start = bodyStart + 8 + offset;
                data.bytes = body - 8 - offset;
            } else if (!layout.wave64 && static_cast<uint64_t>(body) == kUnknownSize32) {
                // RF64 keeps the size in ds64; in a plain WAV it marks a stream
                // whose length was never known.
                data.bytes = rf64 ? size64 : -1;
            } else if (!rf64 && !aiff && static_cast<uint64_t>(body) == kSoxUnknownSize && bodyStart + body > file.size()) {
                // sox's mark for the same, kept by a stream saved to a file.
                data.bytes = -1;
            }
            data.end = data.bytes >= 0 ? aligned(data.start + data.bytes, layout.alignment()) : file.size();
            // AIFF may put COMM after SSND: keep walking for it.
            if (!aiff || data.frames >= 0) return data;
        }
        at = aligned(bodyStart + body, layout.alignment());
    }
    return data;
}

// Whether what follows the audio is a chunk (a tag, a list) or stray data.
bool chunkAt(const Bytes& file, const Layout& layout, int64_t at) {
    if (!file.printableId(at)) return false;
    int64_t body = layout.bodySize(file, at);
    // A last chunk may lack its pad byte.
    return body >= 0 && at + layout.headerSize() + body <= file.size();
}

// Whether everything from `at` on is what may follow the audio of a whole
// file: chunks (tags, lists, markers), zero padding, and an ID3v1 tag, the
// 128 bytes from "TAG" that taggers append to any file.
bool trailerFrom(const Bytes& file, const Layout& layout, int64_t at) {
    constexpr int64_t kId3v1Size = 128;
    for (int chunk = 0; chunk < kMostChunks; ++chunk) {
        if (at >= file.size()) return true;
        if (at + kId3v1Size == file.size()) {
            char tag[3];
            if (file.get(at, tag, 3) && std::memcmp(tag, "TAG", 3) == 0) return true;
        }
        if (!chunkAt(file, layout, at)) return file.zeroFrom(at);
        at = aligned(at + layout.headerSize() + layout.bodySize(file, at), layout.alignment());
    }
    return false;
}

}  // namespace

DeclaredLength declaredLength(const ByteReader& read, int64_t fileSize, int format, int channels) {
    DeclaredLength result;
    const int64_t frameBytes = static_cast<int64_t>(bytesPerSample(format)) * channels;
    if (frameBytes <= 0) return result;
    Bytes file(read, fileSize);

    Layout layout;
    bool rf64 = false, aiff = false;
    switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_RF64:
        if (!file.id(8, "WAVE")) return result;
        layout.bigEndian = file.id(0, "RIFX");
        rf64 = file.id(0, "RF64") || file.id(0, "BW64");
        break;
    case SF_FORMAT_AIFF:
        if (!file.id(0, "FORM")) return result;
        layout.bigEndian = aiff = true;
        break;
    case SF_FORMAT_W64:
        layout.wave64 = true;
        layout.firstChunk = 40;  // the riff header and the wave id
        break;
    case SF_FORMAT_AU: {
        // No chunks: a header giving the audio's offset and size, then the audio.
        bool big = file.id(0, ".snd");
        if (!big && !file.id(0, "dns.")) return result;
        uint64_t size = file.number(8, 4, big);
        if (size == kUnknownSize32) return result;
        int64_t start = static_cast<int64_t>(file.number(4, 4, big));
        result.frames = static_cast<int64_t>(size) / frameBytes;
        int64_t end = start + static_cast<int64_t>(size);
        char tag[3];
        const bool id3v1 = end + 128 == fileSize && file.get(end, tag, 3) && std::memcmp(tag, "TAG", 3) == 0;
        if (end < fileSize && !id3v1 && !file.zeroFrom(end)) result.framesBeyond = (fileSize - end) / frameBytes;
        return result;
    }
    default:
        return result;
    }

    DataChunk data = findData(file, layout, rf64, aiff);
    if (!data.found || data.bytes < 0) return result;
    result.frames = data.frames >= 0 ? data.frames : data.bytes / frameBytes;
    if (data.end < fileSize && !trailerFrom(file, layout, data.end))
        result.framesBeyond = (fileSize - data.end) / frameBytes;
    return result;
}
