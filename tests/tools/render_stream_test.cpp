// varnox-render between pipes: audio flows through as it comes, whatever its
// length; streams that say "length unknown" are whole, not damaged; a pipe
// that closes or a stop ends the run cleanly.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/tools/render_support.h"

namespace {

using namespace rendertest;

constexpr int kFrames = 20000;

uint32_t little32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

// A 44-byte WAV header's sizes, as a recorder or a streaming writer leaves them.
std::string withSizes(std::string wav, uint32_t riff, uint32_t data) {
    for (int i = 0; i < 4; ++i) {
        wav[4 + static_cast<size_t>(i)] = static_cast<char>(riff >> (8 * i));
        wav[40 + static_cast<size_t>(i)] = static_cast<char>(data >> (8 * i));
    }
    return wav;
}

class StreamTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        Audio input = testSignal(2, 44100, kFrames);
        input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        writeAudio(in("signal.wav"), input);
    }
    std::string cat(const std::string& path) const { return "cat '" + path + "'"; }
    std::string into(const std::string& path) const { return "cat > '" + path + "'"; }
};

TEST_F(StreamTest, PipesCarryTheAudioBothWaysWithTheLengthLeftOpen) {
    // The reference: the same standard input name, into a file.
    ASSERT_EQ(run({"-", out("file.wav"), "--format", "float"}, {in("signal.wav")}).exitCode, 0);
    const std::vector<float> expected = readAudio(out("file.wav")).samples;

    for (std::string type : {"wav", "au", "flac", "ogg", "raw"}) {
        const std::string streamed = (root / ("streamed." + type)).string();
        std::vector<std::string> args = {"-", "-", "--type", type};
        if (type == "wav" || type == "au" || type == "raw") args.insert(args.end(), {"--format", "float"});
        Result result = run(args, {"", "", "", cat(in("signal.wav")), into(streamed)});
        ASSERT_EQ(result.exitCode, 0) << type << ": " << result.err;
        if (type == "ogg") {
            EXPECT_EQ(readAudio(streamed).frames(), static_cast<size_t>(kFrames));
            continue;
        }
        if (type == "raw") {
            EXPECT_EQ(fs::file_size(streamed), kFrames * 2 * sizeof(float));
            continue;
        }
        const std::string bytes = slurp(streamed);
        if (type == "wav") {
            // sox's marks for a length not known when the header went out.
            EXPECT_EQ(little32(bytes, bytes.find("data") + 4), 0x7FFFF000u);
            EXPECT_EQ(little32(bytes, 4), 0x7FFFF000u + bytes.find("data") + 8 - 8);
        }
        if (type == "au") {
            EXPECT_EQ(bytes.substr(8, 4), std::string(4, '\xFF'));
        }
        // What a stream reader gets: the whole render.
        Result back = run({"-", out("back.wav"), "--format", "float"},
                          {"", "", "", cat(streamed)});
        ASSERT_EQ(back.exitCode, 0) << type << ": " << back.err;
        EXPECT_EQ(back.err.find("damaged"), std::string::npos) << back.err;
        if (type == "flac") {
            EXPECT_EQ(readAudio(streamed).frames(), static_cast<size_t>(kFrames));
        } else {
            expectIdentical(readAudio(streamed).samples, expected, type);
        }
    }

    // MP3 long enough to flow before it ends: it reads back whole, also by
    // libsndfile, which estimates an MP3's length from its first frame.
    Audio longer = testSignal(2, 44100, 5 * 44100);
    for (float& sample : longer.samples) sample *= 0.5f;
    longer.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    writeAudio(in("longer.wav"), longer);
    const std::string mp3 = (root / "streamed.mp3").string();
    Result encoded = run({"-", "-", "--type", "mp3"}, {"", "", "", cat(in("longer.wav")), into(mp3)});
    ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
    EXPECT_GE(readAudio(mp3).frames(), 5u * 44100) << "cut short";
    EXPECT_LE(readAudio(mp3).frames(), 5u * 44100 + 4 * 1152) << "no more than the encoder's delay and padding";

    // A type whose header is finished after the audio cannot be streamed:
    // said before a byte goes out.
    Result aiff = run({"-", "-", "--type", "aiff"}, {"", "", "", cat(in("signal.wav")), into((root / "x.aiff").string())});
    EXPECT_EQ(aiff.exitCode, 1);
    EXPECT_NE(aiff.err.find("cannot write standard output: AIFF cannot go through a pipe"), std::string::npos)
        << aiff.err;
    EXPECT_EQ(fs::file_size(root / "x.aiff"), 0u);
}

TEST_F(StreamTest, StreamedInputsOfUnknownLengthAreWholeAndShortOnesDamaged) {
    const std::string wav = slurp(in("signal.wav"));
    ASSERT_EQ(wav.substr(36, 4), "data") << "a 44-byte header";
    const uint32_t dataBytes = kFrames * 4;
    struct Case {
        const char* name;
        uint32_t riff, data;
    };
    // An unfinished recording (0), sox through a pipe (0x7FFFF000), and the
    // largest size, which some writers use for the same.
    for (const Case& c : {Case{"zero.wav", 0, 0}, Case{"sox.wav", 0x7FFFF024u, 0x7FFFF000u},
                          Case{"largest.wav", 0xFFFFFFFFu, 0xFFFFFFFFu}}) {
        std::ofstream(in(c.name), std::ios::binary) << withSizes(wav, c.riff, c.data);
        Result result = run({"-", out(c.name), "--no-dither"}, {"", "", "", cat(in(c.name))});
        EXPECT_EQ(result.exitCode, 0) << c.name << ": " << result.err;
        EXPECT_EQ(result.err.find("damaged"), std::string::npos) << c.name << ": " << result.err;
        EXPECT_EQ(readAudio(out(c.name)).frames(), static_cast<size_t>(kFrames)) << c.name;
        // Written as RF64 for a length nobody knew, it became a WAV again
        // once it was known to fit.
        EXPECT_EQ(slurp(out(c.name)).substr(0, 4), "RIFF") << c.name;
    }
    // An AIFF whose COMM chunk comes after 2 MB of audio: read from a file
    // it renders; through a pipe its layout cannot be found, and it says so.
    std::string late = "AIFF";
    const uint32_t audioBytes = 2u << 20;
    auto big32 = [](uint32_t value) {
        std::string bytes(4, '\0');
        for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(value >> (8 * (3 - i)));
        return bytes;
    };
    late += "SSND" + big32(audioBytes + 8) + std::string(8, '\0') + std::string(audioBytes, '\0');
    late += "COMM" + big32(18) + std::string("\0\2", 2) + big32(audioBytes / 4) + std::string("\0\x10", 2) +
            std::string("\x40\x0E\xAC\x44\0\0\0\0\0\0", 10);  // 44100 as an 80-bit float
    std::ofstream(in("late.aiff"), std::ios::binary) << "FORM" + big32(static_cast<uint32_t>(late.size())) + late;
    EXPECT_EQ(run({in("late.aiff"), out("late.wav"), "-q"}).exitCode, 0);
    Result searched = run({"-", out("late.wav")}, {"", "", "", cat(in("late.aiff"))});
    EXPECT_EQ(searched.exitCode, 1);
    EXPECT_NE(searched.err.find("a pipe cannot do: name the file instead"), std::string::npos) << searched.err;

    // A stream that ends before the length its header gives is damaged.
    std::ofstream(in("cut.wav"), std::ios::binary) << withSizes(wav, 36 + 2 * dataBytes, 2 * dataBytes);
    Result cut = run({"-", out("cut.wav")}, {"", "", "", cat(in("cut.wav"))});
    EXPECT_EQ(cut.exitCode, 4) << cut.err;
    EXPECT_NE(cut.err.find("standard input is damaged: read " + std::to_string(kFrames) + " of the " +
                           std::to_string(2 * kFrames) + " frames"), std::string::npos) << cut.err;
}

TEST_F(StreamTest, EndlessInputIsCheckedAtOnceAndStoppedBySignals) {
    // Bytes that are no sound file are refused from their start, not
    // gathered until memory runs out.
    Result noise = run({"-", out("x.wav")}, {"", "", "", "cat /dev/zero"});
    EXPECT_EQ(noise.exitCode, 1);
    EXPECT_NE(noise.err.find("unsupported standard input"), std::string::npos) << noise.err;

    // A valid header followed by audio without end: rendered as it comes,
    // until a signal stops it, leaving nothing behind.
    const std::string header = withSizes(slurp(in("signal.wav")).substr(0, 44), 0xFFFFFFFFu, 0xFFFFFFFFu);
    // The feeder's write after the tool is gone must fail, not end the test.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    for (int signal : {SIGINT, SIGTERM}) {
        int pipeEnds[2];
        ASSERT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);
        pid_t child = start({"-", out("endless.wav"), "-q"}, 0, pipeEnds[0]);
        std::thread feeder([&] {
            std::vector<char> silence(1 << 16, 0);
            bool ok = write(pipeEnds[1], header.data(), header.size()) == static_cast<ssize_t>(header.size());
            while (ok) ok = write(pipeEnds[1], silence.data(), silence.size()) > 0;
        });
        // Under way once its temporary file has grown past a few blocks.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        bool growing = false;
        while (!growing && std::chrono::steady_clock::now() < deadline) {
            for (const std::string& name : outputFiles())
                if (name != "endless.wav" && fs::file_size(root / "out" / name) > (1u << 20)) growing = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(growing) << "the render never got going";
        kill(child, signal);
        EXPECT_EQ(finish(child), 128 + signal);
        close(pipeEnds[1]);  // the feeder's next write fails and it ends
        feeder.join();
        EXPECT_TRUE(outputFiles().empty()) << outputFiles().front();
    }
    sigaction(SIGPIPE, &previous, nullptr);
}

TEST_F(StreamTest, AReaderThatGoesAwayEndsTheRunWithAMessage) {
    // Audio to a pipe that closes: a failed output, said as such.
    Result audio = run({in("signal.wav"), "-"}, {"", "", "", "", "head -c 100 > /dev/null"});
    EXPECT_EQ(audio.exitCode, 1);
    EXPECT_NE(audio.err.find("cannot write standard output: the reader closed it"), std::string::npos) << audio.err;

    // A full device is named as what it is, standard output.
    Result full = run({in("signal.wav"), "-"}, {"", "/dev/full"});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.err.find("cannot write standard output: No space left on device"), std::string::npos) << full.err;

    // Summaries to a pipe that closes: the files are written all the same,
    // and no temporary file is left.
    std::vector<std::string> args = {"-o", out(""), "-j", "2"};
    for (int i = 1; i <= 4; ++i) {
        const std::string name = in("f" + std::to_string(i) + ".wav");
        fs::copy_file(in("signal.wav"), name);
        args.push_back(name);
    }
    Result batch = run(args, {"", "", "", "", "head -c 1 > /dev/null"});
    EXPECT_EQ(batch.exitCode, 0) << batch.err;
    EXPECT_EQ(outputFiles(), (std::vector<std::string>{"f1.wav", "f2.wav", "f3.wav", "f4.wav"}));
}

}  // namespace
