#include "tests/tools/render_support.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <sstream>

#include "engine/shaper_effect.h"
#include "host/effect_base.h"
#include "product/shaper_effect_edit.h"

namespace rendertest {

bool writeAudio(const fs::path& path, const Audio& audio) {
    SF_INFO info{};
    info.channels = audio.channels;
    info.samplerate = audio.sampleRate;
    info.format = audio.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        ADD_FAILURE() << "cannot write " << path << ": " << sf_strerror(nullptr);
        return false;
    }
    sf_writef_float(file, audio.samples.data(), static_cast<sf_count_t>(audio.frames()));
    sf_close(file);
    return true;
}

Audio readAudio(const fs::path& path) {
    Audio audio;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        ADD_FAILURE() << "cannot read " << path << ": " << sf_strerror(nullptr);
        return audio;
    }
    audio.channels = info.channels;
    audio.sampleRate = info.samplerate;
    audio.format = info.format;
    // Read to the end rather than trust the count (unknown for some streams).
    std::vector<float> block(4096 * static_cast<size_t>(info.channels));
    for (sf_count_t got; (got = sf_readf_float(file, block.data(), 4096)) > 0;)
        audio.samples.insert(audio.samples.end(), block.begin(), block.begin() + got * info.channels);
    sf_close(file);
    return audio;
}

Audio testSignal(int channels, int sampleRate, int frames) {
    Audio audio{channels, sampleRate, SF_FORMAT_WAV | SF_FORMAT_FLOAT, {}};
    uint32_t noise = 12345;
    double phase = 0.0;
    for (int n = 0; n < frames; ++n) {
        double t = static_cast<double>(n) / frames;
        phase += 2.0 * M_PI * (40.0 + 4000.0 * t * t) / sampleRate;
        noise = noise * 1664525u + 1013904223u;
        double burst = ((n / 3000) % 3 == 0) ? (static_cast<double>(noise >> 8) / 8388608.0 - 1.0) * 0.3 : 0.0;
        double level = (n > 30000 && n < 34000) ? 1.25 : 0.7 * t + 0.05;
        for (int c = 0; c < channels; ++c)
            audio.samples.push_back(static_cast<float>(level * std::sin(phase + c * 0.7) + burst * (c % 2 == 0 ? 1 : -1)));
    }
    return audio;
}

Audio pickChannels(const Audio& audio, const std::vector<int>& which) {
    Audio picked{static_cast<int>(which.size()), audio.sampleRate, audio.format, {}};
    for (size_t frame = 0; frame < audio.frames(); ++frame)
        for (int channel : which)
            picked.samples.push_back(audio.samples[frame * static_cast<size_t>(audio.channels) + static_cast<size_t>(channel)]);
    return picked;
}

namespace {

intptr_t VSTCALLBACK engineHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    return 0;  // pins connected, automation acknowledged
}

}  // namespace

EngineRun runEngine(const Audio& input, int blockSize, int program, const std::vector<std::pair<int, float>>& settings) {
    EngineRun run;
    AEffect* effect = createEffectInstance(engineHost);
    if (effect == nullptr) {
        ADD_FAILURE() << "no instance";
        return run;
    }
    auto* engine = dynamic_cast<ShaperEffect*>(EffectBase::fromRecord(effect));
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetProgram, 0, program, nullptr, 0.0f);
    for (auto [index, value] : settings) effect->setParameter(effect, index, value);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(input.sampleRate));
    effect->dispatcher(effect, effSetBlockSize, 0, blockSize, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

    const int channels = input.channels;
    const size_t frames = input.frames();
    std::vector<float> left(blockSize), right(blockSize), outLeft(blockSize), outRight(blockSize);
    float* inputs[2] = {left.data(), channels == 1 ? left.data() : right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    for (size_t start = 0; start < frames; start += blockSize) {
        int count = static_cast<int>(std::min<size_t>(blockSize, frames - start));
        for (int i = 0; i < count; ++i) {
            left[i] = input.samples[(start + i) * channels];
            if (channels == 2) right[i] = input.samples[(start + i) * 2 + 1];
        }
        effect->processReplacing(effect, inputs, outputs, count);
        for (int i = 0; i < count; ++i) {
            run.samples.push_back(outLeft[i]);
            if (channels == 2) run.samples.push_back(outRight[i]);
        }
    }
    run.clipLevel = engine != nullptr ? static_cast<float>(engine->display.clipLevel) : -1.0f;
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return run;
}

void expectIdentical(const std::vector<float>& actual, const std::vector<float>& expected, const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    size_t differing = 0, first = 0;
    for (size_t i = 0; i < actual.size(); ++i)
        if (actual[i] != expected[i] && differing++ == 0) first = i;
    EXPECT_EQ(differing, 0u) << what << ": first difference at sample " << first << ": " << actual[first] << " vs "
                             << expected[first];
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

int exitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 1000 + WTERMSIG(status) : -1;
}

namespace {

std::string quoted(const std::string& word) {
    std::string text = "'";
    for (char c : word) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

}  // namespace

void RenderTest::SetUp() {
    static std::atomic<int> counter{0};
    root = fs::temp_directory_path() / ("varnox_render_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    fs::create_directories(root / "in");
    fs::create_directories(root / "out");
}

void RenderTest::TearDown() {
    // Tests take permissions away; give them back so that everything goes.
    std::error_code error;
    for (auto& entry : fs::recursive_directory_iterator(root, error))
        if (!entry.is_symlink()) fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(root, error);
}

Result RenderTest::run(const std::vector<std::string>& args, const RunOptions& options) {
    std::string command;
    if (!options.folder.empty()) command = "cd " + quoted(options.folder) + " && ";
    if (!options.inputPipe.empty()) command += options.inputPipe + " | ";
    // In a pipeline the shell reports the last command: the tool's own
    // status goes through a file.
    const bool piped = !options.outputPipe.empty();
    if (piped) command += "{ ";
    if (options.asNobody) command += "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    command += quoted(VARNOX_RENDER);
    for (const std::string& arg : args) command += " " + quoted(arg);
    if (options.inputPipe.empty())
        command += " <" + quoted(options.standardInput.empty() ? "/dev/null" : options.standardInput);
    if (!piped)
        command += " >" + quoted(options.standardOutput.empty() ? (root / "stdout").string() : options.standardOutput);
    command += " 2>" + quoted((root / "stderr").string());
    if (piped) command += "; echo $? >" + quoted((root / "status").string()) + "; } | " + options.outputPipe;
    int status = std::system(command.c_str());
    Result result;
    result.exitCode = piped ? std::stoi("0" + slurp(root / "status")) : exitCodeOf(status);
    if (options.standardOutput.empty() && !piped) result.out = slurp(root / "stdout");
    result.err = slurp(root / "stderr");
    return result;
}

pid_t RenderTest::start(const std::vector<std::string>& args, uint64_t fileSizeLimit, int standardInput) {
    std::vector<std::string> words = {VARNOX_RENDER};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string errorPath = (root / "stderr").string();
    pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        int error = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int nothing = open("/dev/null", O_RDWR);
        dup2(standardInput >= 0 ? standardInput : nothing, 0);
        dup2(nothing, 1);
        dup2(error, 2);
        if (fileSizeLimit > 0) {
            struct rlimit limit = {fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (standardInput >= 0) close(standardInput);
    return child;
}

int RenderTest::finish(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return exitCodeOf(status);
}

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace rendertest
