// varnox-render reads every type the linked libsndfile reads, writes the type
// an output's name asks for, works in pipes, and says when an input is damaged.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/tools/render_support.h"

namespace {

using namespace rendertest;

struct FormatEntry {
    int format;
    std::string extension;
};

std::vector<FormatEntry> libraryList(int countCommand, int itemCommand) {
    int count = 0;
    sf_command(nullptr, countCommand, &count, sizeof count);
    std::vector<FormatEntry> list;
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        sf_command(nullptr, itemCommand, &info, sizeof info);
        list.push_back({info.format, info.extension != nullptr ? info.extension : ""});
    }
    return list;
}

// A layout the container takes (some are mono only, some take one rate), or
// none: the first subtype, channel count and rate sf_format_check accepts.
std::optional<Audio> layoutFor(int container) {
    std::vector<int> subtypes = {SF_FORMAT_FLOAT, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24};
    for (const FormatEntry& subtype : libraryList(SFC_GET_FORMAT_SUBTYPE_COUNT, SFC_GET_FORMAT_SUBTYPE))
        subtypes.push_back(subtype.format);
    for (int subtype : subtypes)
        for (int channels : {2, 1})
            for (int rate : {48000, 44100, 8000}) {
                SF_INFO info{};
                info.format = container | subtype;
                info.channels = channels;
                info.samplerate = rate;
                if (sf_format_check(&info)) return Audio{channels, rate, container | subtype, {}};
            }
    return std::nullopt;
}

class FormatTest : public RenderTest {};

TEST_F(FormatTest, EveryTypeTheLibraryReadsIsRenderedFromWhatItDecodes) {
    int tried = 0;
    for (const FormatEntry& major : libraryList(SFC_GET_FORMAT_MAJOR_COUNT, SFC_GET_FORMAT_MAJOR)) {
        int container = major.format & SF_FORMAT_TYPEMASK;
        std::optional<Audio> layout = layoutFor(container);
        if (container == SF_FORMAT_RAW || !layout) continue;
        Audio input = testSignal(layout->channels, layout->sampleRate, 6000);
        for (float& sample : input.samples) sample *= 0.5f;  // within every format's range
        input.format = layout->format;
        const std::string name = "in_" + std::to_string(tried) + "." + major.extension;
        // Some types are listed but not written by every build (MPEG layers).
        SF_INFO info{};
        info.format = input.format;
        info.channels = input.channels;
        info.samplerate = input.sampleRate;
        SNDFILE* probe = sf_open(in(name).c_str(), SFM_WRITE, &info);
        if (probe == nullptr) continue;
        sf_close(probe);
        writeAudio(in(name), input);
        ++tried;

        Result result = run({in(name), out("out.wav"), "--format", "float", "--program", "3"});
        ASSERT_EQ(result.exitCode, 0) << name << " (" << std::hex << layout->format << "): " << result.err;
        // The reference decodes the file with the same library.
        Audio decoded = readAudio(in(name));
        Audio output = readAudio(out("out.wav"));
        EXPECT_EQ(output.channels, decoded.channels) << name;
        EXPECT_EQ(output.sampleRate, decoded.sampleRate) << name;
        expectIdentical(output.samples, runEngine(decoded, 512, 3).samples, name);
    }
    EXPECT_GE(tried, 20) << "libsndfile lists fewer types than expected";
}

TEST_F(FormatTest, TheOutputTypeFollowsTheNameOrType) {
    writeAudio(in("signal.wav"), testSignal(2, 48000, 6000));
    struct Case {
        std::vector<std::string> args;  // after the input
        std::string file;               // what to read back
        int format;                     // container | subtype expected
    };
    const std::vector<Case> cases = {
        {{out("a.aif")}, "a.aif", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {{out("a.W64")}, "a.W64", SF_FORMAT_W64 | SF_FORMAT_FLOAT},
        {{out("a.caf")}, "a.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT},
        {{out("a.rf64")}, "a.rf64", SF_FORMAT_RF64 | SF_FORMAT_FLOAT},
        {{out("a.flac")}, "a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},  // float does not fit: 24 bit
        {{out("a.ogg")}, "a.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {{out("a.opus")}, "a.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
        {{out("a.dat"), "--type", "au"}, "a.dat", SF_FORMAT_AU | SF_FORMAT_FLOAT},
        {{out("b.wav"), "--type", "WAV", "--format", "16"}, "b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {in("signal.wav")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Result result = run(args);
        ASSERT_EQ(result.exitCode, 0) << c.file << ": " << result.err;
        Audio output = readAudio(out(c.file));
        EXPECT_EQ(output.format, c.format) << c.file;
        EXPECT_GT(output.frames(), 5000u) << c.file;
    }
}

TEST_F(FormatTest, FloatOutputsHoldNoClockTime) {
    // The same render must give the same bytes; a timestamp in the header
    // (libsndfile's PEAK chunk) breaks that from one second to the next.
    Audio input = testSignal(2, 44100, 3000);
    writeAudio(in("float.wav"), input);
    for (std::string name : {"float.wav", "float.aiff"}) {
        const uint32_t before = static_cast<uint32_t>(time(nullptr));
        Result result = run({in("float.wav"), out(name), "--type", name.substr(6), "--format", "float"});
        const uint32_t after = static_cast<uint32_t>(time(nullptr));
        ASSERT_EQ(result.exitCode, 0) << name << ": " << result.err;
        ASSERT_EQ(readAudio(out(name)).format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT) << name;
        const std::string bytes = slurp(out(name));
        for (uint32_t t = before - 1; t <= after + 1; ++t)
            for (bool bigEndian : {false, true}) {
                std::string stamp(4, '\0');
                for (int i = 0; i < 4; ++i) stamp[bigEndian ? 3 - i : i] = static_cast<char>(t >> (8 * i));
                EXPECT_EQ(bytes.find(stamp), std::string::npos) << name << " holds the time " << t;
            }
    }
}

TEST_F(FormatTest, PipesCarryWavAiffAndFlac) {
    Audio input = testSignal(2, 44100, 20000);
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    writeAudio(in("signal.wav"), input);
    // The dither follows the input's name: standard input's is "-".
    ASSERT_EQ(run({"-", out("file.wav"), "--program", "9"}, {in("signal.wav"), "", ""}).exitCode, 0);
    // cat in.wav | varnox-render - - --program 9 > out.wav
    const std::string piped = (root / "piped.wav").string();
    Result result = run({"-", "-", "--program", "9"}, {in("signal.wav"), piped, ""});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(slurp(piped) == slurp(out("file.wav"))) << "the same bytes as a render into a file";
    EXPECT_NE(result.err.find("standard input -> standard output"), std::string::npos) << "the summary goes to stderr";

    for (std::string type : {"aiff", "flac"}) {
        const std::string streamed = (root / ("piped." + type)).string();
        Result typed = run({"-", "-", "--type", type, "--program", "9"}, {in("signal.wav"), streamed, ""});
        ASSERT_EQ(typed.exitCode, 0) << type << ": " << typed.err;
        // The header is complete: the file reads back whole without seeking past a pipe.
        Audio output = readAudio(streamed);
        EXPECT_EQ(output.format & SF_FORMAT_TYPEMASK, type == "aiff" ? SF_FORMAT_AIFF : SF_FORMAT_FLAC);
        expectIdentical(output.samples, readAudio(out("file.wav")).samples, type);
    }
    // A pipe also works under a name (a FIFO, process substitution).
    ASSERT_EQ(run({in("signal.wav"), out("named-file.wav"), "--program", "9"}).exitCode, 0);
    fs::create_directory(root / "pipe");
    const std::string fifo = (root / "pipe" / "signal.wav").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << slurp(in("signal.wav")); });
    Result named = run({fifo, out("named.wav"), "--program", "9"});
    writer.join();
    ASSERT_EQ(named.exitCode, 0) << named.err;
    EXPECT_TRUE(slurp(out("named.wav")) == slurp(out("named-file.wav")));

    Result empty = run({"-", out("x.wav")});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_NE(empty.err.find("unsupported standard input"), std::string::npos) << empty.err;
}

TEST_F(FormatTest, AnEmptyInputGivesAValidEmptyFileOrARefusal) {
    writeAudio(in("empty.wav"), Audio{2, 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_16, {}});
    for (std::string name : {"empty.flac", "empty.wav", "empty.aiff", "empty.ogg", "empty.mp3"}) {
        Result result = run({in("empty.wav"), out(name)});
        ASSERT_EQ(result.exitCode, 0) << name << ": " << result.err;
        SF_INFO info{};
        SNDFILE* file = sf_open(out(name).c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr) << name << " is not a sound file: " << sf_strerror(nullptr);
        float sample[2];
        EXPECT_EQ(sf_readf_float(file, sample, 1), 0) << name;
        sf_close(file);
    }
    // libsndfile makes no Opus stream without samples: refused, nothing written.
    Result opus = run({in("empty.wav"), out("empty.opus")});
    EXPECT_EQ(opus.exitCode, 1);
    EXPECT_NE(opus.err.find("holds no audio"), std::string::npos) << opus.err;
    EXPECT_EQ(outputFiles(), (std::vector<std::string>{"empty.aiff", "empty.flac", "empty.mp3", "empty.ogg", "empty.wav"}));
}

TEST_F(FormatTest, DamagedInputsAreRenderedAsFarAsTheyGoAndReported) {
    constexpr int kFrames = 20000;
    struct Case {
        std::string name;
        int format;
    };
    const std::vector<Case> cut = {
        {"cut.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},   {"cut.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
        {"cut.w64", SF_FORMAT_W64 | SF_FORMAT_FLOAT},    {"cut.rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
        {"cut.au", SF_FORMAT_AU | SF_FORMAT_PCM_16},     {"cut.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"cutx.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24},
    };
    for (const Case& c : cut) {
        Audio input = testSignal(2, 44100, kFrames);
        for (float& sample : input.samples) sample *= 0.5f;
        input.format = c.format;
        writeAudio(in(c.name), input);
        fs::resize_file(in(c.name), fs::file_size(in(c.name)) / 3);
        Audio readable = readAudio(in(c.name));

        Result result = run({in(c.name), out(c.name)});
        EXPECT_EQ(result.exitCode, 4) << c.name << ": " << result.err;
        const std::string promise = "read " + std::to_string(readable.frames()) + " of the " +
                                    std::to_string(kFrames) + " frames";
        EXPECT_NE(result.err.find("varnox-render: warning: input '" + in(c.name) + "' is damaged: " + promise),
                  std::string::npos) << result.err;
        EXPECT_NE(result.out.find(c.name + " -> "), std::string::npos) << "a summary all the same";
        // What could be read is rendered and written.
        EXPECT_EQ(readAudio(out(c.name)).frames(), readable.frames()) << c.name;
    }

    // A WAV whose data size was never filled in: the samples are there, but
    // libsndfile reads none of them.
    Audio input = testSignal(2, 44100, kFrames);
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    writeAudio(in("unsized.wav"), input);
    {
        std::fstream file(in("unsized.wav"), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(40);  // the data chunk's size, right after its id in this 44-byte header
        file.write("\0\0\0\0", 4);
    }
    Result unsized = run({in("unsized.wav"), out("unsized.wav")});
    EXPECT_EQ(unsized.exitCode, 4);
    EXPECT_NE(unsized.err.find("its header declares 0 frames, but the file holds about " + std::to_string(kFrames) +
                               " more"), std::string::npos) << unsized.err;

    // A whole file with a tag chunk after its audio, and a streamed WAV whose
    // sizes say "unknown", are not damaged.
    writeAudio(in("whole.wav"), input);
    {
        std::ofstream file(in("whole.wav"), std::ios::app | std::ios::binary);
        file.write("LIST\4\0\0\0INFO", 12);
    }
    std::fstream streamed(in("streamed.wav"), std::ios::out | std::ios::binary);
    streamed << slurp(in("unsized.wav"));
    streamed.seekp(40);
    streamed.write("\xFF\xFF\xFF\xFF", 4);
    streamed.close();
    for (std::string name : {"whole.wav", "streamed.wav"}) {
        Result whole = run({in(name), out(name)});
        EXPECT_EQ(whole.exitCode, 0) << name << ": " << whole.err;
        EXPECT_EQ(whole.err, "") << name;
        EXPECT_EQ(readAudio(out(name)).frames(), static_cast<size_t>(kFrames)) << name;
    }
}

TEST_F(FormatTest, WholeFilesWithTagsOrStreamMarksAreNotDamaged) {
    Audio input = testSignal(2, 44100, 20000);
    for (float& sample : input.samples) sample *= 0.5f;
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    writeAudio(in("tagged.wav"), input);
    {
        // An ID3v1 tag, as taggers append to any file.
        std::ofstream file(in("tagged.wav"), std::ios::app | std::ios::binary);
        file << "TAG" << std::string(125, 'x');
    }
    // A stream sox wrote through a pipe, saved as it came: its sizes are
    // sox's mark for "unknown", larger than the file.
    std::string saved = slurp(in("tagged.wav")).substr(0, 44 + 20000 * 4);
    saved.replace(4, 4, std::string("\x24\xF0\xFF\x7F", 4));
    saved.replace(40, 4, std::string("\x00\xF0\xFF\x7F", 4));
    std::ofstream(in("sox.wav"), std::ios::binary) << saved;
    // MP3 with its encoder's header, decoded to WAV (whose own MP3 form
    // libsndfile does not write).
    input.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    writeAudio(in("encoded.mp3"), input);
    for (const std::string name : {"tagged.wav", "sox.wav", "encoded.mp3"}) {
        Result result = run({in(name), out(name + ".wav")});
        EXPECT_EQ(result.exitCode, 0) << name << ": " << result.err;
        EXPECT_EQ(result.err, "") << name;
        Audio output = readAudio(out(name + ".wav"));
        EXPECT_EQ(output.format, SF_FORMAT_WAV | (name == "encoded.mp3" ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_16)) << name;
        if (name != "encoded.mp3") {
            EXPECT_EQ(output.frames(), 20000u) << name;
        }
    }
}

TEST_F(FormatTest, AudioBeyondThirtyTwoBitSizesGoesToRf64OrIsRefused) {
    // An RF64 input whose ds64 chunk promises 5 GiB of audio (it holds 1000
    // frames): the render is planned for that length without writing it.
    Audio input = testSignal(2, 44100, 1000);
    input.format = SF_FORMAT_RF64 | SF_FORMAT_PCM_16;
    writeAudio(in("long.rf64"), input);
    std::string bytes = slurp(in("long.rf64"));
    const size_t ds64 = bytes.find("ds64");
    ASSERT_NE(ds64, std::string::npos);
    const uint64_t promised = uint64_t{5} << 30;
    for (int i = 0; i < 8; ++i) {
        bytes[ds64 + 16 + static_cast<size_t>(i)] = static_cast<char>(promised >> (8 * i));      // data size
        bytes[ds64 + 24 + static_cast<size_t>(i)] = static_cast<char>((promised / 4) >> (8 * i));  // frames
    }
    std::ofstream(in("long.rf64"), std::ios::binary) << bytes;

    Result wav = run({in("long.rf64"), out("long.wav")});
    EXPECT_EQ(wav.exitCode, 4) << "damaged all the same: " << wav.err;
    EXPECT_NE(wav.out.find("(RF64, 16-bit PCM"), std::string::npos) << wav.out;
    Audio output = readAudio(out("long.wav"));
    EXPECT_EQ(output.format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
    EXPECT_EQ(output.frames(), 1000u);

    // AIFF has no such form: refused before anything is written.
    Result aiff = run({in("long.rf64"), out("long.aiff")});
    EXPECT_EQ(aiff.exitCode, 1);
    EXPECT_NE(aiff.err.find("more than AIFF's 32-bit sizes hold"), std::string::npos) << aiff.err;
    EXPECT_EQ(outputFiles(), std::vector<std::string>{"long.wav"});
}

TEST_F(FormatTest, TagsMarkersAndChannelLayoutAreCarriedOver) {
    // A 5.1 broadcast WAV with tags, a time reference, cue points and iXML.
    Audio surround = testSignal(6, 48000, 4800);
    SF_INFO info{};
    info.format = SF_FORMAT_WAVEX | SF_FORMAT_PCM_24;
    info.channels = 6;
    info.samplerate = 48000;
    SNDFILE* file = sf_open(in("scene.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_set_string(file, SF_STR_TITLE, "Scene 12 take 3");
    sf_set_string(file, SF_STR_ARTIST, "Field recordist");
    SF_BROADCAST_INFO bext{};
    std::snprintf(bext.description, sizeof bext.description, "boom");
    bext.time_reference_low = 48000u * 3600u;  // one hour into the day
    ASSERT_EQ(sf_command(file, SFC_SET_BROADCAST_INFO, &bext, sizeof bext), SF_TRUE);
    SF_CUES cues{};
    cues.cue_count = 2;
    cues.cue_points[0].indx = 1;
    cues.cue_points[0].sample_offset = 100;
    cues.cue_points[1].indx = 2;
    cues.cue_points[1].sample_offset = 2000;
    for (SF_CUE_POINT& point : cues.cue_points) std::memcpy(&point.fcc_chunk, "data", 4);
    ASSERT_EQ(sf_command(file, SFC_SET_CUE, &cues, sizeof cues), SF_TRUE);
    std::string ixml = "<BWFXML><PROJECT>Varnox</PROJECT></BWFXML>";
    SF_CHUNK_INFO chunk{};
    std::memcpy(chunk.id, "iXML", 4);
    chunk.id_size = 4;
    chunk.datalen = static_cast<unsigned>(ixml.size());
    chunk.data = ixml.data();
    ASSERT_EQ(sf_set_chunk(file, &chunk), SF_ERR_NO_ERROR);
    int layout[6] = {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LFE,
                     SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT};
    ASSERT_EQ(sf_command(file, SFC_SET_CHANNEL_MAP_INFO, layout, sizeof layout), SF_TRUE);
    sf_writef_float(file, surround.samples.data(), 4800);
    sf_close(file);

    Result result = run({in("scene.wav"), out("scene.wav")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string bytes = slurp(out("scene.wav"));
    // WAVE_FORMAT_EXTENSIBLE with the 5.1 mask 0x3F.
    const size_t fmt = bytes.find("fmt ");
    ASSERT_NE(fmt, std::string::npos);
    EXPECT_EQ(static_cast<unsigned char>(bytes[fmt + 8]) | static_cast<unsigned char>(bytes[fmt + 9]) << 8, 0xFFFE);
    EXPECT_EQ(static_cast<unsigned char>(bytes[fmt + 28]), 0x3F);
    EXPECT_NE(bytes.find(ixml), std::string::npos) << "iXML";

    SF_INFO readInfo{};
    SNDFILE* back = sf_open(out("scene.wav").c_str(), SFM_READ, &readInfo);
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(sf_get_string(back, SF_STR_TITLE), "Scene 12 take 3");
    EXPECT_STREQ(sf_get_string(back, SF_STR_ARTIST), "Field recordist");
    SF_BROADCAST_INFO readBext{};
    ASSERT_EQ(sf_command(back, SFC_GET_BROADCAST_INFO, &readBext, sizeof readBext), SF_TRUE);
    EXPECT_EQ(readBext.time_reference_low, 48000u * 3600u);
    EXPECT_STREQ(readBext.description, "boom");
    SF_CUES readCues{};
    ASSERT_EQ(sf_command(back, SFC_GET_CUE, &readCues, sizeof readCues), SF_TRUE);
    ASSERT_EQ(readCues.cue_count, 2u);
    EXPECT_EQ(readCues.cue_points[1].sample_offset, 2000u);
    sf_close(back);

    // Vorbis comments from FLAC into Ogg Vorbis.
    Audio stereo = testSignal(2, 44100, 4000);
    info = SF_INFO{};
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    info.channels = 2;
    info.samplerate = 44100;
    file = sf_open(in("song.flac").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_set_string(file, SF_STR_TITLE, "Song");
    sf_set_string(file, SF_STR_ARTIST, "Band");
    for (float& sample : stereo.samples) sample *= 0.5f;
    sf_writef_float(file, stereo.samples.data(), 4000);
    sf_close(file);
    Result ogg = run({in("song.flac"), out("song.ogg")});
    ASSERT_EQ(ogg.exitCode, 0) << ogg.err;
    back = sf_open(out("song.ogg").c_str(), SFM_READ, &readInfo);
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(sf_get_string(back, SF_STR_TITLE), "Song");
    EXPECT_STREQ(sf_get_string(back, SF_STR_ARTIST), "Band");
    sf_close(back);
}

TEST_F(FormatTest, EncoderSettingsReachTheEncoders) {
    Audio input = testSignal(2, 44100, 5 * 44100);
    for (float& sample : input.samples) sample *= 0.5f;
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    writeAudio(in("music.wav"), input);
    auto render = [&](const std::string& name, std::vector<std::string> options) {
        std::vector<std::string> args = {in("music.wav"), out(name), "-q"};
        args.insert(args.end(), options.begin(), options.end());
        Result result = run(args);
        EXPECT_EQ(result.exitCode, 0) << name << ": " << result.err;
        return fs::file_size(out(name));
    };
    // FLAC: the same samples, fewer bytes at the higher level.
    EXPECT_LT(render("high.flac", {"--compression", "8"}), render("low.flac", {"--compression", "0"}));
    expectIdentical(readAudio(out("high.flac")).samples, readAudio(out("low.flac")).samples, "lossless either way");
    // Vorbis and Opus: more bytes for the better quality.
    EXPECT_GT(render("best.ogg", {"--quality", "10"}), render("worst.ogg", {"--quality", "0"}));
    // MP3: the constant rate asked for, within the frame overhead.
    for (int kbps : {64, 192}) {
        const double rate = static_cast<double>(render("cbr.mp3", {"--bitrate", std::to_string(kbps)})) * 8 / 5 / 1000;
        EXPECT_NEAR(rate, kbps, kbps * 0.1) << kbps;
    }
    // A setting the output's encoder does not have is a command-line error.
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{out("x.wav"), "--compression", "5"}, {out("x.flac"), "--quality", "5"},
          {out("x.ogg"), "--bitrate", "128"}, {out("x.flac"), "--compression", "9"}}) {
        std::vector<std::string> args = {in("music.wav")};
        args.insert(args.end(), wrong.begin(), wrong.end());
        EXPECT_EQ(run(args).exitCode, 2) << wrong[0] << " " << wrong[1];
    }
}

TEST_F(FormatTest, HeaderlessAudioIsDescribedAsSoxTakesIt) {
    Audio input = testSignal(2, 44100, 6000);
    for (float& sample : input.samples) sample *= 0.5f;
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    writeAudio(in("take.wav"), input);
    // The same samples without a header, as sox -t raw -e signed -b 16 makes them.
    const std::string wav = slurp(in("take.wav"));
    ASSERT_EQ(wav.substr(36, 4), "data");
    std::ofstream(in("take.pcm"), std::ios::binary) << wav.substr(44);
    std::ofstream(in("take.dat"), std::ios::binary) << wav.substr(44);

    ASSERT_EQ(run({in("take.wav"), out("from-wav.wav"), "--format", "float"}).exitCode, 0);
    const std::vector<float> expected = readAudio(out("from-wav.wav")).samples;
    // By name, and by --input-type for a name that says nothing (or standard input).
    const std::vector<std::string> described = {"-r", "44100", "-c", "2", "-e", "signed-integer", "-b", "16"};
    for (const std::string& source : {in("take.pcm"), in("take.dat")}) {
        std::vector<std::string> args = {source, out("from-raw.wav"), "--format", "float"};
        args.insert(args.end(), described.begin(), described.end());
        if (source == in("take.dat")) args.insert(args.end(), {"--input-type", "raw"});
        Result result = run(args);
        ASSERT_EQ(result.exitCode, 0) << source << ": " << result.err;
        expectIdentical(readAudio(out("from-raw.wav")).samples, expected, source);
    }
    // Raw output: the samples -e and -b name, and nothing else.
    Result raw = run({in("take.wav"), out("out.raw"), "-e", "floating-point", "-b", "32"});
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    const std::string bytes = slurp(out("out.raw"));
    ASSERT_EQ(bytes.size(), expected.size() * sizeof(float));
    std::vector<float> samples(expected.size());
    std::memcpy(samples.data(), bytes.data(), bytes.size());
    expectIdentical(samples, expected, "raw float output");

    // An incomplete description, or one for a file with a header, is refused.
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{in("take.pcm"), out("x.wav"), "-r", "44100", "-c", "2"},
          {in("take.wav"), out("x.wav"), "-r", "44100"},
          {in("take.pcm"), out("x.wav"), "-r", "44100", "-c", "2", "-e", "unsigned", "-b", "16"}})
        EXPECT_EQ(run(wrong).exitCode, 2) << wrong.back();
}

TEST_F(FormatTest, OpusInOggStaysOpus) {
    Audio input = testSignal(2, 48000, 9600);
    for (float& sample : input.samples) sample *= 0.5f;
    input.format = SF_FORMAT_OGG | SF_FORMAT_OPUS;
    writeAudio(in("voice.ogg"), input);
    ASSERT_EQ(readAudio(in("voice.ogg")).format, SF_FORMAT_OGG | SF_FORMAT_OPUS);
    Result result = run({in("voice.ogg"), out("voice.ogg")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readAudio(out("voice.ogg")).format, SF_FORMAT_OGG | SF_FORMAT_OPUS);
    EXPECT_NE(result.out.find("(OGG, Opus)"), std::string::npos) << result.out;
    // A Vorbis input to .ogg stays the usual Vorbis.
    input.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    writeAudio(in("music.ogg"), input);
    ASSERT_EQ(run({in("music.ogg"), out("music.ogg")}).exitCode, 0);
    EXPECT_EQ(readAudio(out("music.ogg")).format, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
}

}  // namespace
