#include "tools/render/audio_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "tools/render/file_types.h"
#include "tools/render/output_file.h"
#include "tools/render/tool_error.h"

namespace {

// libsndfile's messages carry a "System error : " or "Error : " prefix and a
// final period; the tool's one-line errors read better without both.
std::string cleanMessage(const char* message) {
    std::string text = message != nullptr ? message : "unknown error";
    for (const std::string prefix : {"System error : ", "Error : "})
        if (text.rfind(prefix, 0) == 0) text.erase(0, prefix.size());
    while (!text.empty() && (text.back() == '.' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// libsndfile keeps the reason an open failed in one process-wide place:
// opens from several files at once take turns, so that each gets its own.
std::mutex openLock;

template <typename Open>
SNDFILE* openSerialised(Open open, std::string& reason) {
    std::lock_guard<std::mutex> lock(openLock);
    SNDFILE* file = open();
    if (file == nullptr) reason = cleanMessage(sf_strerror(nullptr));
    return file;
}

// All of a pipe or terminal-less standard input, for a decoder that must seek.
std::vector<unsigned char> readAll(int descriptor, const std::string& shownName) {
    std::vector<unsigned char> bytes;
    unsigned char block[1 << 16];
    for (;;) {
        ssize_t got = retryUnlessStopped([&] { return read(descriptor, block, sizeof block); });
        if (got < 0) throw ToolError(kExitFailure, "cannot read " + shownName + ": " + std::strerror(errno));
        if (got == 0) return bytes;
        bytes.insert(bytes.end(), block, block + got);
    }
}

}  // namespace

SoundFileReader::SoundFileReader(const std::string& path, bool waitForWriter)
    : shownName(path == "-" ? "standard input" : "input '" + path + "'") {
    if (path == "-") {
        if (isatty(STDIN_FILENO))
            throw ToolError(kExitFailure, "standard input is a terminal; pipe a sound file into it or name one");
        openMemory(readAll(STDIN_FILENO, shownName));
        return;
    }
    // Opened here rather than by libsndfile: the system's reasons (no such
    // file, permission denied) are clearer than a decoder's.
    const int flags = O_RDONLY | O_CLOEXEC | (waitForWriter ? 0 : O_NONBLOCK);
    const int opened = retryUnlessStopped([&] { return open(path.c_str(), flags); });
    if (opened < 0) throw ToolError(kExitFailure, "cannot read " + shownName + ": " + std::strerror(errno));
    // Reads wait for data again; a pipe without a writer reads as empty.
    if (!waitForWriter) fcntl(opened, F_SETFL, fcntl(opened, F_GETFL) & ~O_NONBLOCK);
    struct stat status {};
    fstat(opened, &status);
    if (S_ISDIR(status.st_mode)) {
        close(opened);
        throw ToolError(kExitFailure, "cannot read " + shownName + ": is a directory");
    }
    if (!S_ISREG(status.st_mode)) {
        // A pipe or a device: only what has been read can be gone back to.
        std::vector<unsigned char> bytes;
        try {
            bytes = readAll(opened, shownName);
        } catch (...) {
            close(opened);
            throw;
        }
        close(opened);
        openMemory(std::move(bytes));
        return;
    }
    openFile(path, opened, status.st_size);
}

void SoundFileReader::openFile(const std::string& path, int descriptor, int64_t fileSize) {
    // By name: some readers (Sound Designer II) look for a companion file.
    std::string reason;
    file = openSerialised([&] { return sf_open(path.c_str(), SFM_READ, &info); }, reason);
    if (file == nullptr) {
        close(descriptor);
        throw ToolError(kExitFailure, "unsupported " + shownName + ": " + reason);
    }
    // libsndfile reads through its own descriptor: this one only serves the header check.
    declared = declaredLength([descriptor](int64_t offset, void* buffer, size_t size) -> size_t {
        ssize_t got = pread(descriptor, buffer, size, offset);
        return got > 0 ? static_cast<size_t>(got) : 0;
    }, fileSize, info.format, info.channels);
    close(descriptor);
}

void SoundFileReader::openMemory(std::vector<unsigned char> bytes) {
    memory = std::make_unique<MemoryFile>(std::move(bytes));
    std::string reason;
    file = openSerialised([&] { return memory->open(SFM_READ, &info); }, reason);
    if (file == nullptr) throw ToolError(kExitFailure, "unsupported " + shownName + ": " + reason);
    const std::vector<unsigned char>& content = memory->content();
    declared = declaredLength([&content](int64_t offset, void* buffer, size_t size) -> size_t {
        if (offset < 0 || static_cast<size_t>(offset) >= content.size()) return 0;
        size_t count = std::min(size, content.size() - static_cast<size_t>(offset));
        std::memcpy(buffer, content.data() + offset, count);
        return count;
    }, static_cast<int64_t>(content.size()), info.format, info.channels);
}

SoundFileReader::~SoundFileReader() {
    if (file != nullptr) sf_close(file);
}

int64_t SoundFileReader::frames() const {
    // libsndfile's largest count stands for "not known" (a FLAC stream without a length).
    int64_t counted = info.frames == SF_COUNT_MAX ? 0 : info.frames;
    return std::max(counted, declared.frames);
}

int64_t SoundFileReader::read(float* interleaved, int64_t frameCount) {
    if (!readError.empty()) return 0;
    sf_count_t got = sf_readf_float(file, interleaved, frameCount);
    if (got < frameCount && sf_error(file) != SF_ERR_NO_ERROR) readError = cleanMessage(sf_strerror(file));
    framesRead += got;
    return got;
}

std::optional<std::string> SoundFileReader::damage() const {
    const std::string what = shownName + " is damaged: ";
    const int64_t promised = frames();
    const std::string count = "read " + std::to_string(framesRead) + " of the " + std::to_string(promised) + " frames";
    if (!readError.empty())
        return what + (promised > framesRead ? count + " it promises" : "read " + std::to_string(framesRead) + " frames") +
               ", then: " + readError;
    if (framesRead < promised) return what + count + " its header promises";
    if (declared.framesBeyond > 0)
        return what + "its header declares " + std::to_string(declared.frames) + " frames, but the file holds about " +
               std::to_string(declared.framesBeyond) + " more; read " + std::to_string(framesRead);
    return std::nullopt;
}

SoundFileWriter::SoundFileWriter(OutputFile& output, int format, int channels, int sampleRate, bool dither)
    : output(output), format(format), channelCount(channels), sampleRate(sampleRate) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    if (output.isStream()) memory = std::make_unique<MemoryFile>();
    std::string reason;
    file = openSerialised([&] {
        return memory ? memory->open(SFM_WRITE, &info) : sf_open_fd(output.descriptor(), SFM_WRITE, &info, SF_FALSE);
    }, reason);
    if (file == nullptr) fail(reason);
    // Samples beyond full scale saturate in the formats libsndfile converts.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // The float formats' PEAK chunk carries the wall-clock time, which would
    // make the same render give different bytes from one second to the next.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    if (int bits = quantisedBits(format)) quantiser.emplace(bits, dither);
}

SoundFileWriter::~SoundFileWriter() {
    if (file != nullptr) sf_close(file);
}

void SoundFileWriter::fail(const std::string& reason) const {
    throw ToolError(kExitFailure, "cannot write output '" + output.path() + "': " + reason);
}

void SoundFileWriter::write(const float* interleaved, int64_t frameCount) {
    sf_count_t written = 0;
    if (quantiser) {
        size_t count = static_cast<size_t>(frameCount) * static_cast<size_t>(channelCount);
        if (words.size() < count) words.resize(count);
        quantiser->run(interleaved, words.data(), count);
        written = sf_writef_short(file, words.data(), frameCount);
    } else {
        written = sf_writef_float(file, interleaved, frameCount);
    }
    if (written != frameCount) fail(cleanMessage(sf_strerror(file)));
    framesWritten += frameCount;
}

void SoundFileWriter::commit() {
    // sf_close writes the header sizes; a failure there (a full disk) is a
    // failed output, not a finished one.
    int closeError = sf_close(file);
    file = nullptr;
    if (closeError != 0) fail(cleanMessage(sf_error_number(closeError)));
    if (framesWritten == 0) {
        std::optional<std::vector<unsigned char>> empty = emptyFile();
        if (!empty) fail("the input holds no audio, and libsndfile makes no valid empty " + containerName(format) + " (" +
                         sampleFormatName(format) + ") file");
        output.commit(*empty);
    } else if (memory) {
        output.commit(memory->content());
    } else {
        output.commit();
    }
}

std::optional<std::vector<unsigned char>> SoundFileWriter::emptyFile() const {
    // Encoders differ: most write a valid empty file when closed at once;
    // some (FLAC, MP3) write nothing until told to write their header now,
    // which others (Vorbis) would then write twice. Whatever reads back wins.
    for (bool headerNow : {false, true}) {
        MemoryFile attempt;
        SF_INFO info{};
        info.format = format;
        info.channels = channelCount;
        info.samplerate = sampleRate;
        std::string reason;
        SNDFILE* written = openSerialised([&] { return attempt.open(SFM_WRITE, &info); }, reason);
        if (written == nullptr) return std::nullopt;
        if (headerNow) sf_command(written, SFC_UPDATE_HEADER_NOW, nullptr, 0);
        if (sf_close(written) != 0) continue;
        MemoryFile check(attempt.content());
        SF_INFO readInfo{};
        if (SNDFILE* reading = openSerialised([&] { return check.open(SFM_READ, &readInfo); }, reason)) {
            sf_close(reading);
            return attempt.content();
        }
    }
    return std::nullopt;
}

std::string SoundFileWriter::description() const {
    std::string text = containerName(format) + ", " + sampleFormatName(format);
    if (quantiser) text += quantiser->dithers() ? ", TPDF dither" : ", no dither";
    return text;
}
