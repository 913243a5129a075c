// varnox-render with several inputs and -o DIR: each file into the folder,
// several at a time, the good ones written whatever happens to the others.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>
#include <string>
#include <vector>

#include "tests/tools/render_support.h"

namespace {

using namespace rendertest;

class BatchTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        Audio stereo = testSignal(2, 48000, 30000);
        writeAudio(in("a.wav"), stereo);
        Audio flac = testSignal(2, 44100, 25000);
        for (float& sample : flac.samples) sample *= 0.5f;
        flac.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        writeAudio(in("b.flac"), flac);
        Audio mono = testSignal(1, 44100, 20000);
        for (float& sample : mono.samples) sample *= 0.5f;
        mono.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_24;
        writeAudio(in("c.aiff"), mono);
        std::ofstream(in("bad.wav")) << "not audio\n";
    }
    // Each output against the engine on what its input decodes to.
    void expectRendered(const std::string& input, const std::string& output, int program) {
        Audio decoded = readAudio(in(input));
        Audio rendered = readAudio(out(output));
        EXPECT_EQ(rendered.sampleRate, decoded.sampleRate) << output;
        std::vector<float> expected = runEngine(decoded, 512, program).samples;
        // Float is the render itself; 24 bit within a step of it, and 16 bit,
        // dithered, within one and a half.
        int subtype = rendered.format & SF_FORMAT_SUBMASK;
        float tolerance = subtype == SF_FORMAT_FLOAT ? 0.0f : subtype == SF_FORMAT_PCM_24 ? 1.0f / 8388608 : 1.5f / 32768;
        ASSERT_EQ(rendered.samples.size(), expected.size()) << output;
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_NEAR(rendered.samples[i], expected[i], tolerance) << output << " " << i;
    }
};

TEST_F(BatchTest, GoodFilesAreWrittenWhateverHappensToTheOthers) {
    for (std::string jobs : {"1", "2", "3"}) {
        fs::remove_all(root / "out");
        Result result = run({"-o", out(""), "-j", jobs, "--program", "5", in("a.wav"), in("bad.wav"), in("b.flac"),
                             in("missing.wav"), in("c.aiff")});
        EXPECT_EQ(result.exitCode, 1) << "-j " << jobs << ": " << result.err;
        EXPECT_EQ(outputFiles(), (std::vector<std::string>{"a.wav", "b.flac", "c.aiff"})) << "-j " << jobs;
        expectRendered("a.wav", "a.wav", 5);
        expectRendered("b.flac", "b.flac", 5);
        expectRendered("c.aiff", "c.aiff", 5);
        // One summary per written file, one error per failed one.
        std::vector<std::string> summaries = lines(result.out);
        EXPECT_EQ(summaries.size(), 3u) << result.out;
        for (std::string name : {"a.wav", "b.flac", "c.aiff"})
            EXPECT_EQ(std::count_if(summaries.begin(), summaries.end(),
                                    [&](const std::string& line) { return line.rfind(in(name) + " -> ", 0) == 0; }), 1)
                << name;
        std::vector<std::string> errors = lines(result.err);
        ASSERT_EQ(errors.size(), 2u) << result.err;
        EXPECT_NE(result.err.find("unsupported input '" + in("bad.wav") + "'"), std::string::npos);
        EXPECT_NE(result.err.find("cannot read input '" + in("missing.wav") + "'"), std::string::npos);
    }
}

TEST_F(BatchTest, TypeSetsTheExtensionAndAMissingFolderIsMade) {
    const std::string folder = (root / "out" / "new" / "deeper").string();
    Result result = run({"--output-dir", folder, "--type", "wav", "--format", "float", in("a.wav"), in("b.flac"),
                         in("c.aiff")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"a.wav", "b.wav", "c.wav"}));
    for (std::string name : {"a.wav", "b.wav", "c.wav"})
        EXPECT_EQ(readAudio(folder + "/" + name).format, SF_FORMAT_WAV | SF_FORMAT_FLOAT) << name;
}

TEST_F(BatchTest, ClashesAreRefusedBeforeAnythingIsWritten) {
    fs::create_directories(root / "in" / "other");
    fs::copy_file(in("a.wav"), in("other/a.wav"));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"-o", out(""), in("a.wav"), in("other/a.wav")}, "two inputs would be written to"},
        {{"-o", out(""), in("a.wav"), in("a.wav")}, "two inputs would be written to"},
        {{"-o", (root / "in").string(), in("a.wav")}, "both input and output"},
        {{"-o", out(""), in("a.wav"), "-"}, "standard input"},
        {{"-o", out("")}, "needs the input files"},
        {{"-o", out(""), in("a.wav"), in("b.flac"), "--type", "nosuch"}, "unknown type"},
    };
    for (const Case& c : cases) {
        Result result = run(c.args);
        EXPECT_EQ(result.exitCode, 2) << c.message << ": " << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_TRUE(outputFiles().empty()) << c.message;
    }
    // The folder of the inputs themselves, when asked: each file replaced by its render.
    const std::string before = slurp(in("a.wav"));
    ASSERT_EQ(run({"-o", (root / "in").string(), "--in-place", "--program", "9", in("a.wav")}).exitCode, 0);
    EXPECT_NE(slurp(in("a.wav")), before);
}

TEST_F(BatchTest, PipesWithNobodyAtTheOtherEndAreNotWaitedFor) {
    // A worker cannot be interrupted while it waits, so it never does: a named
    // pipe without a writer reads as empty, and a pipe as output is refused.
    ASSERT_EQ(mkfifo(in("silent.wav").c_str(), 0600), 0);
    fs::copy_file(in("a.wav"), in("piped.wav"));
    ASSERT_EQ(mkfifo(out("piped.wav").c_str(), 0600), 0);
    Result result = run({"-o", out(""), in("silent.wav"), in("piped.wav"), in("b.flac")});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("unsupported input '" + in("silent.wav") + "'"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("cannot write output '" + out("piped.wav") + "': a pipe"), std::string::npos)
        << result.err;
    EXPECT_EQ(outputFiles(), (std::vector<std::string>{"b.flac", "piped.wav"}));
}

TEST_F(BatchTest, AStopKeepsTheFinishedFilesAndLeavesNoTemporaryOne) {
    Audio input{1, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, std::vector<float>(120 * 44100, 0.25f)};
    writeAudio(in("long.wav"), input);
    // One file at a time: c.aiff is done when long.wav's temporary file appears.
    pid_t child = start({"-o", out(""), "-j", "1", "--block", "32", in("c.aiff"), in("long.wav"), in("a.wav")});
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (outputFiles().size() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(outputFiles().size(), 2u);
    kill(child, SIGTERM);
    EXPECT_EQ(finish(child), 128 + SIGTERM);
    EXPECT_EQ(outputFiles(), std::vector<std::string>{"c.aiff"});
    expectRendered("c.aiff", "c.aiff", 0);
    EXPECT_NE(slurp(root / "stderr").find("interrupted by SIGTERM; 1 of 3 outputs were finished and kept"),
              std::string::npos) << slurp(root / "stderr");
}

TEST_F(BatchTest, NamesBySuffixExistingFilesKeptDryRunsAndKeptTimes) {
    // A dry run checks everything and writes nothing, the folder included.
    const std::string folder = (root / "out" / "driven").string();
    Result dry = run({"-o", folder, "--suffix", "_driven", "--dry-run", in("a.wav"), in("b.flac")});
    ASSERT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_EQ(dry.out, in("a.wav") + " -> " + folder + "/a_driven.wav (wav)\n" + in("b.flac") + " -> " + folder +
                           "/b_driven.flac (flac)\n");
    EXPECT_TRUE(outputFiles().empty());
    EXPECT_EQ(run({"-o", folder, "--dry-run", "--program", "Loud", in("a.wav")}).exitCode, 2) << "checked all the same";

    // Renders beside their inputs under their own names, with the inputs' times.
    struct timespec old[2] = {{0, UTIME_OMIT}, {1000000000, 0}};  // 2001
    ASSERT_EQ(utimensat(AT_FDCWD, in("a.wav").c_str(), old, 0), 0);
    Result beside = run({"-o", in(""), "--suffix", "_driven", "--keep-times", in("a.wav"), in("b.flac")});
    ASSERT_EQ(beside.exitCode, 0) << beside.err;
    expectRendered("a.wav", "../in/a_driven.wav", 0);
    struct stat info {};
    ASSERT_EQ(stat(in("a_driven.wav").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1000000000);

    // --no-clobber leaves what exists, says so, and writes the rest.
    std::ofstream(out("a.wav")) << "mine";
    Result kept = run({"-o", out(""), "-n", in("a.wav"), in("b.flac")});
    ASSERT_EQ(kept.exitCode, 0) << kept.err;
    EXPECT_EQ(slurp(out("a.wav")), "mine");
    EXPECT_NE(kept.out.find(in("a.wav") + " -> " + out("a.wav") + ": exists, left alone (--no-clobber)"),
              std::string::npos) << kept.out;
    EXPECT_EQ(outputFiles(), (std::vector<std::string>{"a.wav", "b.flac"}));
    // It also lets a render onto its own input be a no-op rather than a clash.
    EXPECT_EQ(run({in("a.wav"), in("a.wav"), "-n"}).exitCode, 0);
}

}  // namespace
