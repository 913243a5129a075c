// What the end-to-end tests of varnox-render share: sound files in and out,
// the engine run in-process on the same samples as the tool's reference, and
// a fixture that runs the built binary in a folder of its own.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace rendertest {

namespace fs = std::filesystem;

struct Audio {
    int channels = 0;
    int sampleRate = 0;
    int format = 0;
    std::vector<float> samples;  // interleaved

    size_t frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
};

/// Writes `audio` with libsndfile; false (and a test failure) when it cannot.
bool writeAudio(const fs::path& path, const Audio& audio);
Audio readAudio(const fs::path& path);

/// A chirp under noise bursts, with a stretch above full scale (float files
/// carry it), `frames` long: not a multiple of any block size used here.
Audio testSignal(int channels, int sampleRate = 48000, int frames = 48000 + 1237);

/// The channels `which` of `audio`, in that order.
Audio pickChannels(const Audio& audio, const std::vector<int>& which);

struct EngineRun {
    std::vector<float> samples;  // interleaved, the input's channel count
    float clipLevel = 0.0f;
};

/// The host sequence the tool claims to make, on an instance of the engine
/// linked into the test: program, settings, rate, block size, switch on, then
/// processReplacing block by block. Mono goes to both inputs as one buffer.
EngineRun runEngine(const Audio& input, int blockSize, int program,
                    const std::vector<std::pair<int, float>>& settings = {});

void expectIdentical(const std::vector<float>& actual, const std::vector<float>& expected, const std::string& what);

std::string slurp(const fs::path& path);
std::vector<std::string> lines(const std::string& text);

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

struct RunOptions {
    std::string standardInput{};   // a file to read standard input from
    std::string standardOutput{};  // a file for standard output (Result::out stays empty)
    std::string folder{};          // working folder
    std::string inputPipe{};       // a shell command piped into standard input instead
    std::string outputPipe{};      // a shell command standard output is piped into instead
    bool asNobody = false;         // run as the unprivileged user 65534 (from root)
};

/// Every name in `folder`, hidden ones included, sorted.
std::vector<std::string> filesIn(const fs::path& folder);

/// Exit code of a waited-for child, or 1000 + signal when a signal ended it.
int exitCodeOf(int status);

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Runs the tool; its streams go to files outside the output folder, so
    /// that folder holds exactly what the tool wrote.
    Result run(const std::vector<std::string>& args, const RunOptions& options = {});

    /// Starts the tool without waiting, standard error to root/stderr; a
    /// non-zero `fileSizeLimit` becomes its RLIMIT_FSIZE; standard input is
    /// `standardInput` when given (closed here after the start), else empty.
    pid_t start(const std::vector<std::string>& args, uint64_t fileSizeLimit = 0, int standardInput = -1);
    /// Waits for it and answers exitCodeOf.
    static int finish(pid_t child);

    std::string in(const std::string& name) const { return (root / "in" / name).string(); }
    std::string out(const std::string& name) const { return (root / "out" / name).string(); }
    /// Every name in out/, hidden ones included, sorted.
    std::vector<std::string> outputFiles() const { return filesIn(root / "out"); }

    fs::path root;
};

}  // namespace rendertest
