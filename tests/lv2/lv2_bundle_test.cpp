// The bundle as hosts see it, through the LV2 tools: the Turtle checked by
// sord_validate against the LV2 schemas, lv2info's view of it, and lv2apply
// (one frame per run, no host features) sample for sample against
// varnox-render, the VST 2 face, at the default, Drive at maximum and every
// preset. A tool that is not installed skips its test.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/programs.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBundle = VARNOX_LV2_BUNDLE;
#if defined(VARNOX_FOREIGN_HOST_ENV)
// What a tool that loads our plug-in needs in its environment.
constexpr const char* kHostEnv = VARNOX_FOREIGN_HOST_ENV;
#else
constexpr const char* kHostEnv = "";
#endif
constexpr const char* kUri = "urn:zem:varnox";

bool haveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

struct Output {
    int status = -1;
    std::string text;  // standard output and error
};

Output runCommand(const std::string& command) {
    Output out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.text.append(buffer, n);
    const int status = pclose(pipe);
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// A folder holding nothing but a link to the bundle: LV2_PATH for the tools.
class LookupPath {
public:
    LookupPath() : dir(fs::temp_directory_path() / ("varnox-lv2-" + std::to_string(::getpid()))) {
        fs::create_directories(dir);
        fs::remove(dir / "Varnox.lv2");
        fs::create_directory_symlink(kBundle, dir / "Varnox.lv2");
    }
    ~LookupPath() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string env() const { return "LV2_PATH=" + quoted(dir.string()) + " "; }
    fs::path dir;
};

std::vector<float> readSamples(const fs::path& path, int& channels) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    channels = info.channels;
    return samples;
}

// Stereo float at 44.1 kHz: decaying tones, noise, and a few samples beyond
// full scale.
void writeInput(const fs::path& path) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<float> frames;
    std::srand(7);
    for (int i = 0; i < 13000; ++i) {
        const double t = i / 44100.0;
        const double noise = (std::rand() / static_cast<double>(RAND_MAX) - 0.5) * 0.02;
        frames.push_back(static_cast<float>(0.9 * std::sin(2 * M_PI * 110 * t) * std::exp(-4 * t) + noise));
        frames.push_back(static_cast<float>(0.5 * std::sin(2 * M_PI * 523 * t) + (i % 4001 == 0 ? 1.2 : 0.0)));
    }
    sf_writef_float(file, frames.data(), static_cast<sf_count_t>(frames.size() / 2));
    sf_close(file);
}

class Lv2Bundle : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        work = new fs::path(fs::temp_directory_path() / ("varnox-lv2-audio-" + std::to_string(::getpid())));
        fs::create_directories(*work);
        writeInput(*work / "in.wav");
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(*work, ignored);
        delete work;
    }

    /// lv2apply with `controls` ("-c sym value ..."), against varnox-render
    /// with `renderOptions`: equal samples, which must differ from the input
    /// when `changes`.
    void expectSameAsVst2(const std::string& name, const std::string& controls, const std::string& renderOptions) {
        if (!haveTool("lv2apply")) GTEST_SKIP() << "lv2apply (lilv-utils) is not installed";
        const fs::path in = *work / "in.wav", lv2 = *work / (name + "-lv2.wav"), vst2 = *work / (name + "-vst2.wav");
        const Output applied =
            runCommand(path.env() + kHostEnv + "lv2apply -i " + quoted(in) + " -o " + quoted(lv2) + " " + controls + " " + kUri);
        ASSERT_EQ(applied.status, 0) << applied.text;
        const Output rendered = runCommand(std::string(quoted(VARNOX_RENDER)) + " -q --format float " + renderOptions +
                                           " " + quoted(in) + " " + quoted(vst2));
        ASSERT_EQ(rendered.status, 0) << rendered.text;
        int lv2Channels = 0, vst2Channels = 0, inChannels = 0;
        const std::vector<float> a = readSamples(lv2, lv2Channels), b = readSamples(vst2, vst2Channels);
        ASSERT_EQ(lv2Channels, 2);
        ASSERT_EQ(vst2Channels, 2);
        ASSERT_EQ(a.size(), readSamples(in, inChannels).size());
        ASSERT_EQ(a.size(), b.size());
        std::size_t differing = 0, first = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            // Bit for bit: a NaN would differ from itself.
            if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0 && differing++ == 0) first = i;
        }
        EXPECT_EQ(differing, 0u) << name << ": first at sample " << first << ": " << a[first] << " against "
                                 << b[first];
    }

    LookupPath path;
    static fs::path* work;
};
fs::path* Lv2Bundle::work = nullptr;

TEST_F(Lv2Bundle, TurtleValidatesAgainstTheLv2Schemas) {
    if (!haveTool("sord_validate")) GTEST_SKIP() << "sord_validate (sordi) is not installed";
    // The schemas: every bundle lv2-dev installs (the ones without a binary).
    std::string files;
    for (const auto& entry : fs::directory_iterator(LV2_SCHEMA_DIR)) {
        if (!entry.is_directory()) continue;
        bool binary = false;
        std::vector<fs::path> turtle;
        for (const auto& file : fs::directory_iterator(entry.path())) {
            if (file.path().extension() == ".so") binary = true;
            if (file.path().extension() == ".ttl") turtle.push_back(file.path());
        }
        if (binary) continue;
        for (const fs::path& t : turtle) files += " " + quoted(t);
    }
    ASSERT_FALSE(files.empty()) << "no LV2 schemas in " << LV2_SCHEMA_DIR;
    for (const char* name : {"manifest.ttl", "Varnox.ttl", "presets.ttl"}) files += " " + quoted(kBundle / name);
    const Output out = runCommand("sord_validate" + files);
    EXPECT_EQ(out.status, 0) << out.text;
    EXPECT_NE(out.text.find("Found 0 errors"), std::string::npos) << out.text;
    EXPECT_EQ(out.text.find("warning"), std::string::npos) << out.text;
}

TEST_F(Lv2Bundle, Lv2infoListsThePortsTheUiAndTenPresets) {
    if (!haveTool("lv2info")) GTEST_SKIP() << "lv2info (lilv-utils) is not installed";
    const Output listed = runCommand(path.env() + "lv2ls");
    EXPECT_EQ(listed.text, std::string(kUri) + "\n");
    const Output out = runCommand(path.env() + "lv2info " + kUri);
    ASSERT_EQ(out.status, 0) << out.text;
    const std::string& text = out.text;
    EXPECT_NE(text.find("Name:              ORv Varnox"), std::string::npos) << text;
    EXPECT_NE(text.find("Class:  http://lv2plug.in/ns/extensions/ui#X11UI"), std::string::npos) << text;
    EXPECT_NE(text.find("Varnox_ui.so"), std::string::npos);
    for (const FactoryProgram& program : kFactoryPrograms) {
        EXPECT_NE(text.find("\n\t         " + std::string(program.name) + "\n"), std::string::npos) << program.name;
    }
    for (const char* symbol : {"in_l", "in_r", "out_l", "out_r", "ingain", "attack", "release", "drive", "times_two",
                               "boost", "enabled", "oversampling", "peak_left", "peak_right", "clip", "latency"}) {
        EXPECT_NE(text.find(std::string("Symbol:      ") + symbol + "\n"), std::string::npos) << symbol;
    }
    EXPECT_NE(text.find("Port 15:"), std::string::npos);
    EXPECT_EQ(text.find("Port 16:"), std::string::npos);
    EXPECT_NE(text.find("Designation: http://lv2plug.in/ns/lv2core#enabled"), std::string::npos);
    EXPECT_NE(text.find("Designation: http://lv2plug.in/ns/lv2core#latency"), std::string::npos);
    // Nothing required of the host.
    EXPECT_EQ(text.find("Required Features"), std::string::npos);
}

TEST_F(Lv2Bundle, Lv2applyEqualsTheVst2FaceAtTheDefaultAndDriven) {
    expectSameAsVst2("default", "", "");
    expectSameAsVst2("driven", "-c drive 100", "--set Drive=100");
    expectSameAsVst2("mixed", "-c drive 50 -c ingain 6 -c times_two 1 -c attack 10.9375",
                     "--set Drive=50 --set Ingain=6 --set 'Times Two=on' --set Attack=10.9375");
}

// The presets as lv2apply would load them: their port values read from the
// bundle's Turtle by sordi, not from our tables.
TEST_F(Lv2Bundle, EveryPresetEqualsItsProgramInTheVst2Face) {
    if (!haveTool("sordi")) GTEST_SKIP() << "sordi is not installed";
    const Output triples = runCommand("sordi -o ntriples " + quoted(kBundle / "presets.ttl"));
    ASSERT_EQ(triples.status, 0) << triples.text;
    // <preset> lv2:port _:node ; _:node lv2:symbol "s" ; _:node pset:value "v"
    std::map<std::string, std::string> portOf, labelOf, symbolOf, valueOf;
    std::multimap<std::string, std::string> portsOf;
    const std::regex triple(R"(^(\S+) <([^>]+)> (.+) \.$)");
    std::istringstream lines(triples.text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (!std::regex_match(line, m, triple)) continue;
        const std::string subject = m[1], predicate = m[2], object = m[3];
        const auto literal = [&] { return object.substr(1, object.find('"', 1) - 1); };
        if (predicate == "http://lv2plug.in/ns/lv2core#port") portsOf.emplace(subject, object);
        if (predicate == "http://www.w3.org/2000/01/rdf-schema#label") labelOf[subject] = literal();
        if (predicate == "http://lv2plug.in/ns/lv2core#symbol") symbolOf[subject] = literal();
        if (predicate == "http://lv2plug.in/ns/ext/presets#value") valueOf[subject] = literal();
    }
    ASSERT_EQ(labelOf.size(), static_cast<std::size_t>(kProgramCount));
    for (int32_t program = 0; program < kProgramCount; ++program) {
        const std::string preset = std::string("<") + kUri + "#program" + std::to_string(program) + ">";
        ASSERT_EQ(labelOf[preset], kFactoryPrograms[program].name);
        std::string controls;
        int ports = 0;
        for (auto [at, end] = portsOf.equal_range(preset); at != end; ++at, ++ports) {
            controls += " -c " + symbolOf[at->second] + " " + valueOf[at->second];
        }
        EXPECT_EQ(ports, kParamCount) << preset;
        expectSameAsVst2("program" + std::to_string(program), controls,
                         "--program " + std::to_string(program));
    }
}

}  // namespace
