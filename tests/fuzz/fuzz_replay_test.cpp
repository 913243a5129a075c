// Replays the fuzz targets' seed corpora and every input that once found a
// fault, in every build, so a mended fault stays mended without a fuzzer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/fuzz/fuzz_input.h"

namespace {

namespace fs = std::filesystem;

using Target = int (*)(const std::uint8_t*, std::size_t);

// Every file under tests/fuzz/<kind>/<target>/, in a stable order.
std::vector<fs::path> inputsOf(const char* kind, const char* target) {
    std::vector<fs::path> files;
    const fs::path directory = fs::path(VARNOX_FUZZ_DIR) / kind / target;
    if (!fs::is_directory(directory)) return files;
    for (const auto& entry : fs::directory_iterator(directory)) {
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::size_t replay(const char* kind, const char* target, Target run) {
    const auto files = inputsOf(kind, target);
    for (const fs::path& file : files) {
        std::ifstream stream(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(stream)),
                                              std::istreambuf_iterator<char>());
        SCOPED_TRACE(file.string());
        // A finding aborts the process; reaching the end is the pass.
        EXPECT_EQ(run(bytes.data(), bytes.size()), 0);
    }
    return files.size();
}

}  // namespace

TEST(FuzzReplay, DispatcherCorpus) {
    EXPECT_GT(replay("corpus", "dispatcher", fuzzing::runDispatcher), 0u);
}

TEST(FuzzReplay, BlockCorpus) {
    EXPECT_GT(replay("corpus", "block", fuzzing::runBlock), 0u);
}

TEST(FuzzReplay, Vst3StateCorpus) {
    EXPECT_GT(replay("corpus", "vst3_state", fuzzing::runVst3State), 0u);
}

TEST(FuzzReplay, Vst3StateRegressions) {
    replay("regressions", "vst3_state", fuzzing::runVst3State);
}

TEST(FuzzReplay, DispatcherRegressions) {
    replay("regressions", "dispatcher", fuzzing::runDispatcher);
}

TEST(FuzzReplay, BlockRegressions) {
    replay("regressions", "block", fuzzing::runBlock);
}

TEST(FuzzReplay, EmptyAndTinyInputs) {
    const std::uint8_t bytes[4] = {0xff, 0x00, 0x80, 0x01};
    for (std::size_t size = 0; size <= sizeof bytes; ++size) {
        EXPECT_EQ(fuzzing::runDispatcher(bytes, size), 0);
        EXPECT_EQ(fuzzing::runBlock(bytes, size), 0);
        EXPECT_EQ(fuzzing::runVst3State(bytes, size), 0);
    }
}
