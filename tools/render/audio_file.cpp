#include "tools/render/audio_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cmath>
#include <cstdio>
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

// MPEG audio is decoded by a library that searches the file (for its tags
// at the end): through a pipe it is gathered whole, up to this.
constexpr size_t kMostGatheredBytes = size_t{1} << 30;

bool looksLikeMpeg(const std::vector<unsigned char>& head) {
    if (head.size() >= 3 && head[0] == 'I' && head[1] == 'D' && head[2] == '3') return true;
    return head.size() >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0;
}

// Lossy decoders estimate their length from the stream's headers (padding,
// encoder delay, a missing length tag): an estimate, not a promise.
bool estimatedLength(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_VORBIS:
    case SF_FORMAT_OPUS:
    case SF_FORMAT_MPEG_LAYER_I:
    case SF_FORMAT_MPEG_LAYER_II:
    case SF_FORMAT_MPEG_LAYER_III:
        return true;
    default:
        return false;
    }
}

// Audio bytes a container's 32-bit sizes can describe, with room left for
// the header and the chunks a render carries over; 0 where sizes are wider.
int64_t mostAudioBytes(int format) {
    constexpr int64_t kRoom = 1 << 20;
    switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_AIFF:
    case SF_FORMAT_AU:  // whose largest size means "unknown"
        return int64_t{0xFFFFFFFF} - kRoom;
    default:
        return 0;
    }
}

std::string gigabytes(int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / 1e9);
    return text;
}

}  // namespace

SoundFileReader::SoundFileReader(const std::string& path, bool waitForWriter, const RawLayout& raw)
    : shownName(path == "-" ? "standard input" : "input '" + path + "'") {
    // libsndfile reads headerless audio as the SF_INFO it is handed says.
    info.format = raw.format;
    info.channels = raw.channels;
    info.samplerate = raw.sampleRate;
    if (path == "-") {
        if (isatty(STDIN_FILENO))
            throw ToolError(kExitFailure, "standard input is a terminal; pipe a sound file into it or name one");
        struct stat status {};
        if (fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode)) {
            // Redirected from a file: read it as the file it is.
            const int own = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
            if (own < 0) throw ToolError(kExitFailure, "cannot read " + shownName + ": " + std::strerror(errno));
            openFile("", own, status.st_size);
        } else {
            openStream(STDIN_FILENO);
        }
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
        streamDescriptor = opened;
        openStream(opened);
        return;
    }
    openFile(path, opened, status.st_size);
}

void SoundFileReader::openStream(int descriptor) {
    stream = std::make_unique<StreamInput>(descriptor, shownName);
    stream->begin();
    if ((info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_RAW && looksLikeMpeg(stream->head())) {
        openMemory(stream->readAll(kMostGatheredBytes));
        stream.reset();
        return;
    }
    std::string reason;
    file = openSerialised([&] { return stream->open(&info); }, reason);
    if (file == nullptr) {
        if (!stream->failure().empty()) reason = stream->failure();
        else if (stream->searched())
            reason += " (its layout has to be searched for, which a pipe cannot do: name the file instead)";
        throw ToolError(kExitFailure, "unsupported " + shownName + ": " + reason);
    }
    if (stream->lengthUnknown()) return;
    // Only the header is at hand: what it promises, and nothing about what
    // follows the audio.
    const std::vector<unsigned char>& head = stream->head();
    declared = declaredLength([&head](int64_t offset, void* buffer, size_t size) -> size_t {
        if (offset < 0 || static_cast<size_t>(offset) >= head.size()) return 0;
        size_t count = std::min(size, head.size() - static_cast<size_t>(offset));
        std::memcpy(buffer, head.data() + offset, count);
        return count;
    }, int64_t{1} << 60, info.format, info.channels);
    declared.framesBeyond = 0;
}

void SoundFileReader::openFile(const std::string& path, int descriptor, int64_t fileSize) {
    // By name: some readers (Sound Designer II) look for a companion file.
    // Standard input has none: its own descriptor.
    std::string reason;
    file = openSerialised([&] {
        return path.empty() ? sf_open_fd(descriptor, SFM_READ, &info, SF_TRUE) : sf_open(path.c_str(), SFM_READ, &info);
    }, reason);
    if (file == nullptr) {
        close(descriptor);
        throw ToolError(kExitFailure, "unsupported " + shownName + ": " + reason);
    }
    // libsndfile reads through its own descriptor: this one only serves the header check.
    declared = declaredLength([descriptor](int64_t offset, void* buffer, size_t size) -> size_t {
        ssize_t got = pread(descriptor, buffer, size, offset);
        return got > 0 ? static_cast<size_t>(got) : 0;
    }, fileSize, info.format, info.channels);
    // Standard input's descriptor is libsndfile's now, closed with the file.
    if (!path.empty()) close(descriptor);
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
    if (streamDescriptor >= 0) close(streamDescriptor);
}

int64_t SoundFileReader::frames() const {
    // libsndfile's largest count stands for "not known" (a FLAC stream
    // without a length); through a pipe, it counts to a length it made up.
    int64_t counted = info.frames == SF_COUNT_MAX || stream ? 0 : info.frames;
    return std::max(counted, declared.frames);
}

bool SoundFileReader::exactLength() const { return !stream && !estimatedLength(info.format) && frames() > 0; }

void SoundFileReader::checkStream() const {
    if (int signal = stopsignals::received()) throw interruptedError(signal);
    if (stream && !stream->failure().empty())
        throw ToolError(kExitFailure, "cannot read " + shownName + ": " + stream->failure());
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
    // A lossy decoder's count is an estimate, not a promise.
    const int64_t promised = estimatedLength(info.format) ? std::max<int64_t>(declared.frames, 0) : frames();
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

SoundFileWriter::SoundFileWriter(OutputFile& output, const WriterSettings& settings)
    : output(output), format(settings.format), channelCount(settings.channels), sampleRate(settings.sampleRate) {
    bytesPerFrame = int64_t{bytesPerSample(format)} * channelCount;
    if (int64_t most = mostAudioBytes(format); most > 0 && bytesPerFrame > 0 && !output.isStream()) {
        mostFrames = most / bytesPerFrame;
        const int container = format & SF_FORMAT_TYPEMASK;
        const bool wav = container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX;
        // An estimate (a lossy decoder's, a stream's header) may fall short.
        const int64_t planned = settings.exactLength ? settings.expectedFrames
                                                     : settings.expectedFrames + settings.expectedFrames / 4;
        if (planned > mostFrames && (wav || settings.exactLength)) {
            if (!wav)
                fail("the render makes " + gigabytes(settings.expectedFrames * bytesPerFrame) + " of audio, more than " +
                     containerName(format) + "'s 32-bit sizes hold; write .rf64, .w64 or .caf");
            // RF64 is the WAV of any length that broadcast and DAW software read.
            format = SF_FORMAT_RF64 | (format & SF_FORMAT_SUBMASK);
            mostFrames = 0;
        } else if (wav && settings.expectedFrames == 0) {
            // A length nobody knows (a stream): RF64, which libsndfile turns
            // back into a WAV (an extensible one) at the end if it fits.
            format = SF_FORMAT_RF64 | (format & SF_FORMAT_SUBMASK);
            downgrade = true;
            mostFrames = 0;
        }
    }
    // A channel layout goes in WAVE_FORMAT_EXTENSIBLE's mask: plain WAV has none.
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV && settings.metadataFrom != nullptr && channelCount > 2) {
        std::vector<int> layout(static_cast<size_t>(channelCount));
        if (sf_command(settings.metadataFrom->handle(), SFC_GET_CHANNEL_MAP_INFO, layout.data(),
                       static_cast<int>(layout.size() * sizeof(int))) == SF_TRUE)
            format = SF_FORMAT_WAVEX | (format & SF_FORMAT_SUBMASK);
    }
    if (output.isStream() && !streamable(format))
        fail(containerName(format) + " cannot go through a pipe: its header is finished after the audio; write WAV, "
             "AU, FLAC, Ogg, MP3 or raw there, or name a file");

    SF_INFO info{};
    info.format = format;
    info.channels = channelCount;
    info.samplerate = sampleRate;
    // libsndfile's own word for this is "Format not recognised".
    if (sf_format_check(&info) == 0)
        fail(containerName(format) + " files (" + sampleFormatName(format) + ") cannot hold " +
             std::to_string(channelCount) + (channelCount == 1 ? " channel" : " channels") + " at " +
             std::to_string(sampleRate) + " Hz");
    if (output.isStream()) stream = std::make_unique<StreamOutput>(output.streamDescriptor(), output.shownName());
    std::string reason;
    file = openSerialised([&] {
        return stream ? stream->open(SFM_WRITE, &info) : sf_open_fd(output.descriptor(), SFM_WRITE, &info, SF_FALSE);
    }, reason);
    if (file == nullptr) fail(reason);
    if (downgrade) sf_command(file, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    // Samples beyond full scale saturate in the formats libsndfile converts.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // The float formats' PEAK chunk carries the wall-clock time, which would
    // make the same render give different bytes from one second to the next.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    if (int bits = quantisedBits(format))
        quantiser.emplace(bits, bits <= 16 && settings.dither, settings.ditherSeed, channelCount);
    applyEncoderSettings(settings.encoder);
    if (settings.metadataFrom != nullptr) carryMetadata(*settings.metadataFrom);
}

void SoundFileWriter::applyEncoderSettings(const EncoderSettings& encoder) {
    // libsndfile's one scale for every encoder: 0 the best quality (the
    // largest file), 1 the smallest.
    auto setLevel = [&](double level, const char* what) {
        level = std::clamp(level, 0.0, 1.0);
        if (sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) != SF_TRUE)
            fail("the encoder refused " + std::string(what) + ": " + cleanMessage(sf_strerror(file)));
    };
    if (encoder.compression) setLevel(*encoder.compression / 8.0, "--compression");
    if (encoder.quality) setLevel(1.0 - *encoder.quality / 10.0, "--quality");
    if (encoder.bitrate) {
        int mode = SF_BITRATE_MODE_CONSTANT;
        sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
        // LAME's range of rates for MPEG-1, -2 and -2.5 sample rates, which
        // libsndfile spans with its level, highest rate first.
        const int most = sampleRate >= 32000 ? 320 : sampleRate >= 16000 ? 160 : 64;
        const int least = sampleRate >= 32000 ? 32 : 8;
        setLevel(static_cast<double>(most - std::clamp(*encoder.bitrate, least, most)) / (most - least), "--bitrate");
    } else if (encoder.quality && (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
        int mode = SF_BITRATE_MODE_VARIABLE;
        sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    } else if (stream && (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
        // A variable rate needs the frame count LAME writes at the end, which
        // a stream cannot go back for: readers that estimate the length from
        // the first frame (libsndfile) would stop early. A constant rate
        // makes that estimate right.
        int mode = SF_BITRATE_MODE_CONSTANT;
        sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    }
}

void checkEncoderSettings(const EncoderSettings& encoder, int container, int subtype, const std::string& output) {
    auto refuse = [&](const std::string& option, const char* holds) {
        throw ToolError(kExitUsage, option + ": only " + holds + " output takes it, and '" + output + "' is " +
                                        containerName(container) + " (see --help)");
    };
    const bool lossy = subtype == SF_FORMAT_VORBIS || subtype == SF_FORMAT_OPUS || container == SF_FORMAT_MPEG;
    if (encoder.compression && container != SF_FORMAT_FLAC) refuse("--compression", "FLAC");
    if (encoder.quality && !lossy) refuse("--quality", "Ogg Vorbis, Opus or MP3");
    if (encoder.bitrate && container != SF_FORMAT_MPEG) refuse("--bitrate", "MP3");
    if (encoder.bitrate && encoder.quality)
        throw ToolError(kExitUsage, "--bitrate and --quality do not go together: a constant rate or a quality (see --help)");
}

SoundFileWriter::~SoundFileWriter() {
    if (file != nullptr) sf_close(file);
}

void SoundFileWriter::fail(const std::string& reason) const {
    if (int signal = stopsignals::received()) throw interruptedError(signal);
    throw ToolError(kExitFailure, "cannot write " + output.shownName() + ": " + reason);
}

void SoundFileWriter::countClips(const float* interleaved, size_t count) {
    // Float samples hold any level; everything else stops at full scale.
    const int subtype = format & SF_FORMAT_SUBMASK;
    if (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE) return;
    for (size_t i = 0; i < count; ++i)
        if (std::fabs(interleaved[i]) > 1.0f) ++clippedSamples;
}

void SoundFileWriter::write(const float* interleaved, int64_t frameCount) {
    if (mostFrames > 0 && framesWritten + frameCount > mostFrames)
        fail("the render passed " + gigabytes(mostFrames * bytesPerFrame) + ", the most a " + containerName(format) +
             " file holds; write .rf64, .w64 or .caf");
    sf_count_t written = 0;
    const size_t count = static_cast<size_t>(frameCount) * static_cast<size_t>(channelCount);
    if (quantiser) {
        if (words.size() < count) words.resize(count);
        quantiser->run(interleaved, words.data(), count);
        clippedSamples = quantiser->clipped();
        written = sf_writef_int(file, words.data(), frameCount);
    } else {
        countClips(interleaved, count);
        written = sf_writef_float(file, interleaved, frameCount);
    }
    if (stream && !stream->failure().empty()) fail(stream->failure());
    if (written != frameCount) fail(cleanMessage(sf_strerror(file)));
    framesWritten += frameCount;
    // Once libsndfile has put its header before the first samples, the
    // stream goes out as it is made.
    if (stream && !stream->flowing() &&
        ((format & SF_FORMAT_TYPEMASK) != SF_FORMAT_MPEG || stream->heldBytes() >= kMpegHeadBytes)) {
        stream->flow(format);
        if (!stream->failure().empty()) fail(stream->failure());
    }
}

void SoundFileWriter::commit() {
    // sf_close writes the header sizes; a failure there (a full disk) is a
    // failed output, not a finished one.
    int closeError = sf_close(file);
    file = nullptr;
    // A render too short to have started flowing is held whole, header finished.
    if (stream && !stream->flowing() && framesWritten > 0 && closeError == 0) stream->flow(format, true);
    if (stream && !stream->failure().empty()) fail(stream->failure());
    if (closeError != 0) fail(cleanMessage(sf_error_number(closeError)));
    if (framesWritten == 0) {
        std::optional<std::vector<unsigned char>> empty = emptyFile();
        if (!empty) fail("the input holds no audio, and libsndfile makes no valid empty " + containerName(format) + " (" +
                         sampleFormatName(format) + ") file");
        output.commit(*empty);
    } else if (stream) {
        output.commitStream();
    } else {
        output.commit();
    }
}

void SoundFileWriter::carryMetadata(SoundFileReader& from) {
    SNDFILE* source = from.handle();
    // Tags: LIST INFO in WAV, Vorbis comments in FLAC and Ogg, and so on;
    // a type without a place for one refuses it, which is no failure.
    static constexpr struct {
        int id;
        const char* name;
    } kStrings[] = {{SF_STR_TITLE, "title"},     {SF_STR_ARTIST, "artist"},   {SF_STR_ALBUM, "album"},
                    {SF_STR_TRACKNUMBER, "track"}, {SF_STR_DATE, "date"},     {SF_STR_GENRE, "genre"},
                    {SF_STR_COMMENT, "comment"}, {SF_STR_COPYRIGHT, "copyright"}, {SF_STR_LICENSE, "license"},
                    {SF_STR_SOFTWARE, "software"}};
    for (const auto& string : kStrings)
        if (const char* text = sf_get_string(source, string.id); text != nullptr && *text != '\0')
            if (sf_set_string(file, string.id, text) == 0) carriedItems.push_back(string.name);

    // BWF: the time reference (in samples, at the same rate) and description.
    SF_BROADCAST_INFO_VAR(16384) broadcast{};
    if (sf_command(source, SFC_GET_BROADCAST_INFO, &broadcast, sizeof broadcast) == SF_TRUE) {
        // libsndfile takes the record at the size its coding history makes.
        const size_t size = std::max(sizeof(SF_BROADCAST_INFO),
                                     offsetof(decltype(broadcast), coding_history) + broadcast.coding_history_size);
        if (sf_command(file, SFC_SET_BROADCAST_INFO, &broadcast, static_cast<int>(size)) == SF_TRUE)
            carriedItems.push_back("bext");
    }

    uint32_t cueCount = 0;
    if (sf_command(source, SFC_GET_CUE_COUNT, &cueCount, sizeof cueCount) == SF_TRUE && cueCount > 0) {
        // SF_CUES_VAR's layout with room for every point the file has.
        std::vector<unsigned char> cues(sizeof(uint32_t) + cueCount * sizeof(SF_CUE_POINT));
        if (sf_command(source, SFC_GET_CUE, cues.data(), static_cast<int>(cues.size())) == SF_TRUE &&
            sf_command(file, SFC_SET_CUE, cues.data(), static_cast<int>(cues.size())) == SF_TRUE)
            carriedItems.push_back("cue points");
    }

    // Chunks libsndfile does not interpret but carries: production metadata.
    for (const char* id : {"iXML", "axml"}) {
        SF_CHUNK_INFO wanted{};
        std::snprintf(wanted.id, sizeof wanted.id, "%s", id);
        wanted.id_size = 4;
        for (SF_CHUNK_ITERATOR* it = sf_get_chunk_iterator(source, &wanted); it != nullptr; it = sf_next_chunk_iterator(it)) {
            SF_CHUNK_INFO chunk{};
            if (sf_get_chunk_size(it, &chunk) != SF_ERR_NO_ERROR || chunk.datalen == 0) continue;
            // libsndfile keeps the pointer until the file is closed.
            chunkData.emplace_back(chunk.datalen);
            chunk.data = chunkData.back().data();
            if (sf_get_chunk_data(it, &chunk) == SF_ERR_NO_ERROR && sf_set_chunk(file, &chunk) == SF_ERR_NO_ERROR)
                carriedItems.push_back(id);
        }
    }

    // Which channel is which (5.1 and the like): WAVE_FORMAT_EXTENSIBLE's mask.
    std::vector<int> layout(static_cast<size_t>(channelCount));
    if (channelCount > 0 &&
        sf_command(source, SFC_GET_CHANNEL_MAP_INFO, layout.data(), static_cast<int>(layout.size() * sizeof(int))) ==
            SF_TRUE &&
        sf_command(file, SFC_SET_CHANNEL_MAP_INFO, layout.data(), static_cast<int>(layout.size() * sizeof(int))) == SF_TRUE)
        carriedItems.push_back("channel layout");
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
    const bool small = downgrade && framesWritten * bytesPerFrame <= mostAudioBytes(SF_FORMAT_WAV);
    std::string text = (small ? std::string("WAV") : containerName(format)) + ", " + sampleFormatName(format);
    if (quantiser && ditherable(format)) text += quantiser->dithers() ? ", TPDF dither" : ", no dither";
    return text;
}
