// varnox-render end to end: the built binary against the engine run in-process
// on the same samples, at the same block size, through the same AEffect calls.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/tools/render_support.h"
#include "tools/render/demo.h"

namespace {

using namespace rendertest;

TEST_F(RenderTest, DemoMatchesTheEngineOnTheSameSamples) {
    for (int program : {9, 0}) {
        Result result = run({"--demo", out("demo.wav"), "--program", std::to_string(program), "--format", "float"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "") << "no progress bar off a terminal";
        EXPECT_NE(result.out.find("demo -> "), std::string::npos) << result.out;
        EXPECT_EQ(lines(result.out).size(), 1u) << result.out;

        Audio output = readAudio(out("demo.wav"));
        EXPECT_EQ(output.channels, kDemoChannels);
        EXPECT_EQ(output.sampleRate, kDemoSampleRate);
        Audio dry{kDemoChannels, kDemoSampleRate, 0, demoSamples()};
        expectIdentical(output.samples, runEngine(dry, 512, program).samples, "program " + std::to_string(program));
    }
}

TEST_F(RenderTest, EveryFactoryProgramMatchesTheEngine) {
    Audio input = testSignal(2);
    writeAudio(in("signal.wav"), input);
    // By number and by name (case and blanks ignored), across block sizes.
    const std::vector<std::pair<std::string, int>> programs = {
        {"0", 0}, {"warming", 1}, {"2", 2}, {"DENSE", 3}, {"duck compressed", 4},
        {"5", 5}, {"Tightly Harder", 6}, {"7", 7}, {"Raw Power", 8}, {"9", 9}};
    for (size_t i = 0; i < programs.size(); ++i) {
        const auto& [name, number] = programs[i];
        int block = i % 3 == 0 ? 512 : i % 3 == 1 ? 64 : 1000;
        Result result = run({in("signal.wav"), out("p.wav"), "--program", name, "--block", std::to_string(block)});
        ASSERT_EQ(result.exitCode, 0) << name << ": " << result.err;
        Audio output = readAudio(out("p.wav"));
        EXPECT_EQ(output.format, input.format) << "same format as the input by default";
        EXPECT_EQ(output.sampleRate, 48000);
        expectIdentical(output.samples, runEngine(input, block, number).samples, "program " + name);
    }
}

TEST_F(RenderTest, MonoInputIsFedToBothInputsAndWrittenAsMono) {
    Audio input = testSignal(1);
    writeAudio(in("mono.wav"), input);
    Result result = run({in("mono.wav"), out("mono.wav"), "--program", "6"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("mono"), std::string::npos) << result.out;
    Audio output = readAudio(out("mono.wav"));
    EXPECT_EQ(output.channels, 1);
    expectIdentical(output.samples, runEngine(input, 512, 6).samples, "mono");
}

TEST_F(RenderTest, SettingsInDisplayedUnitsPickTheNearestStep) {
    Audio input = testSignal(2, 44100);
    writeAudio(in("signal.wav"), input);
    // Ingain -6 dB: step 41 shows -5.95 and step 40 -6.25 (gain 0.158 + 0.842 (g/64)^2).
    Result result = run({in("signal.wav"), out("set.wav"), "--program", "dense", "--set", "Ingain=-6dB", "--set",
                         "attack=30", "--set", "Times Two=on", "--set", "Boost=off", "--set", "2=0.25"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // Attack 30 % of 128 steps is 38.4: step 38.
    std::vector<std::pair<int, float>> expected = {
        {0, 41 / 128.0f}, {1, 38 / 128.0f}, {4, 1.0f}, {5, 0.0f}, {2, 0.25f}};
    expectIdentical(readAudio(out("set.wav")).samples, runEngine(input, 512, 3, expected).samples, "settings");
}

TEST_F(RenderTest, ClipIndicatorAgreesWithTheEngine) {
    Audio input = testSignal(2);
    for (auto& sample : input.samples) sample *= 0.5f;  // peak 0.625
    writeAudio(in("half.wav"), input);
    struct Case {
        std::string ingain;
        float normalised;
        bool fires;
    };
    // +16 dB lifts 0.625 past full scale; 0 dB and -16 dB do not.
    for (const Case& c : {Case{"16", 1.0f, true}, Case{"0", 0.5f, false}, Case{"-16", 0.0f, false}}) {
        Result result = run({in("half.wav"), out("c.wav"), "--set", "Ingain=" + c.ingain, "--set", "Drive=100"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EngineRun engine = runEngine(input, 512, 0, {{0, c.normalised}, {3, 1.0f}});
        EXPECT_EQ(engine.clipLevel, c.fires ? 1.0f : 0.0f) << "Ingain " << c.ingain;
        EXPECT_NE(result.out.find(c.fires ? "clip indicator fired" : "clip indicator off"), std::string::npos)
            << "Ingain " << c.ingain << ": " << result.out;
        expectIdentical(readAudio(out("c.wav")).samples, engine.samples, "Ingain " + c.ingain);
    }
}

TEST_F(RenderTest, OutputFormatFollowsTheInputUnlessChosen) {
    Audio input = testSignal(2);
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    writeAudio(in("s24.wav"), input);
    struct Case {
        std::vector<std::string> args;
        int format;
    };
    const std::vector<Case> cases = {
        {{in("s24.wav"), out("a.wav")}, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {{in("s24.wav"), out("a.aiff"), "--format", "16"}, SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        {{in("s24.wav"), out("a.flac")}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        {{in("s24.wav"), out("a.flac"), "--format", "16", "--no-dither"}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {{"--demo", out("d.wav")}, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
    };
    for (const Case& c : cases) {
        Result result = run(c.args);
        ASSERT_EQ(result.exitCode, 0) << c.args[1] << ": " << result.err;
        Audio output = readAudio(c.args[1]);
        EXPECT_EQ(output.format, c.format) << c.args[1];
    }
    // 16-bit output without dither is the float render rounded to the
    // nearest step, and clipped at the highest one.
    Audio sixteen = readAudio(out("a.flac"));
    Audio quantised = input;
    quantised.samples = readAudio(in("s24.wav")).samples;
    EngineRun engine = runEngine(quantised, 512, 0);
    ASSERT_EQ(sixteen.samples.size(), engine.samples.size());
    for (size_t i = 0; i < engine.samples.size(); ++i)
        ASSERT_NEAR(sixteen.samples[i], std::clamp(engine.samples[i], -1.0f, 32767.0f / 32768), 0.5f / 32768) << i;
}

TEST_F(RenderTest, ListShowsThePluginsOwnTexts) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> expectedLines;  // each must occur as a whole line, blanks squeezed
    };
    const std::vector<Case> cases = {
        {{"--list"},
         {"ORv Varnox (Zem v1.0): 10 programs, 6 parameters", "* 0 Default", "8 Raw Power",
          "0 Ingain 0.00 db (0.500000)", "1 Attack 50.0 % (0.500000)", "3 Drive 0.00 % (0.000000)",
          "4 Times Two Off (0.000000)"}},
        // Program 5: Ingain 47 is 20 log10(0.612) = -4.26 dB, cut to -4.2.
        {{"--list", "--program", "rough compressed"},
         {"* 5 Rough Compressed", "0 Ingain -4.2 db (0.367188)", "3 Drive 100. % (1.000000)",
          "4 Times Two On (1.000000)", "5 Boost Off (0.000000)"}},
        {{"--list", "--set", "Ingain=-6", "--set", "Drive=0.78"},
         {"0 Ingain -5.9 db (0.320312)", "3 Drive 0.78 % (0.007812)"}},
    };
    auto squeeze = [](const std::string& line) {
        std::string result;
        for (char c : line)
            if (c != ' ' || (!result.empty() && result.back() != ' ')) result += c;
        while (!result.empty() && result.back() == ' ') result.pop_back();
        return result;
    };
    for (const Case& c : cases) {
        Result result = run(c.args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        std::vector<std::string> shown;
        for (const std::string& line : lines(result.out)) shown.push_back(squeeze(line));
        for (const std::string& expected : c.expectedLines)
            EXPECT_NE(std::find(shown.begin(), shown.end(), expected), shown.end())
                << "missing '" << expected << "' in:\n" << result.out;
    }
    // Inner blanks of a stored name are the plug-in's: shown as they are.
    EXPECT_NE(run({"--list"}).out.find("Raw   Power"), std::string::npos);
}

TEST_F(RenderTest, FailuresExplainThemselvesAndLeaveNoFile) {
    writeAudio(in("ok.wav"), testSignal(2));
    // Headerless samples: no reader can tell their layout, so the command
    // line must.
    Audio raw = testSignal(1);
    raw.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16;
    writeAudio(in("raw.pcm"), raw);
    std::ofstream(in("text.wav")) << "not audio\n";
    std::ofstream(in("not_a_library.so")) << "not a library\n";
    // An output that exists must survive a failed run untouched.
    std::ofstream(out("kept.wav")) << "previous render";

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{in("missing.wav"), out("kept.wav")}, 1, "No such file"},
        {{in("text.wav"), out("kept.wav")}, 1, "unsupported input"},
        {{in("raw.pcm"), out("kept.wav")}, 2, "headerless input needs its rate, channels and encoding"},
        {{in("ok.wav"), out("kept.wav"), "--program", "Loud"}, 2, "unknown program 'Loud'"},
        {{in("ok.wav"), out("kept.wav"), "--program", "10"}, 2, "no program 10"},
        {{in("ok.wav"), out("kept.wav"), "--set", "Volume=3"}, 2, "unknown parameter 'Volume'"},
        {{in("ok.wav"), out("kept.wav"), "--set", "Ingain=-17"}, 2, "out of range"},
        {{in("ok.wav"), out("kept.wav"), "--set", "Drive=101"}, 2, "out of range"},
        {{in("ok.wav"), out("kept.wav"), "--set", "Drive=-1"}, 2, "out of range"},
        {{in("ok.wav"), out("kept.wav"), "--set", "Boost=loud"}, 2, "expected on or off"},
        {{in("ok.wav"), out("kept.wav"), "--set", "6=0.5"}, 2, "no parameter 6"},
        {{in("ok.wav"), out("kept.wav"), "--set", "3=1.5"}, 2, "from 0 to 1"},
        {{in("ok.wav"), out("kept.wav"), "--block", "0"}, 2, "--block"},
        {{in("ok.wav"), out("kept.wav"), "--frobnicate"}, 2, "unknown option"},
        {{in("ok.wav"), out("x.flac"), "--format", "float"}, 2, "cannot hold float"},
        {{in("ok.wav"), out("x.xyz")}, 2, "output type"},
        {{in("ok.wav"), out("no/such/dir/x.wav")}, 1, "cannot write output"},
        {{in("ok.wav"), in("ok.wav") + "/x.wav"}, 1, "cannot write output"},
        {{in("ok.wav"), out("kept.wav"), "--plugin", in("not_a_library.so")}, 3, "cannot load plug-in"},
        {{in("ok.wav"), out("kept.wav"), "--plugin", in("missing.so")}, 3, "cannot load plug-in"},
        {{in("ok.wav"), out("kept.wav"), "--plugin", VARNOX_NULL_PLUGIN}, 3, "main returned null"},
        {{"--demo"}, 2, "needs an output"},
    };
    for (const Case& c : cases) {
        std::string label;
        for (const std::string& arg : c.args) label += fs::path(arg).filename().string() + " ";
        Result result = run(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << label << result.err;
        EXPECT_EQ(lines(result.err).size(), 1u) << label << result.err;
        EXPECT_EQ(result.err.rfind("varnox-render: ", 0), 0u) << label << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << label << result.err;
        EXPECT_EQ(result.out, "") << label;
        EXPECT_EQ(outputFiles(), std::vector<std::string>{"kept.wav"}) << label;
        EXPECT_EQ(slurp(out("kept.wav")), "previous render") << label;
    }
}

TEST_F(RenderTest, HelpDescribesUsageAndExitsCleanly) {
    Result result = run({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.rfind("Usage: varnox-render", 0), 0u);
    EXPECT_NE(result.out.find("Exit status"), std::string::npos);
    EXPECT_TRUE(outputFiles().empty());
}

}  // namespace

TEST_F(RenderTest, SnapshotWritesTheEditorAsPng) {
    Result result = run({"--snapshot", out("editor.png"), "--program", "9", "--ticks", "3"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("program 9"), std::string::npos) << result.out;
    const std::string png = slurp(out("editor.png"));
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // IHDR: width and height, big-endian, right after the chunk header.
    auto word = [&](std::size_t at) {
        return (uint32_t(uint8_t(png[at])) << 24) | (uint32_t(uint8_t(png[at + 1])) << 16) |
               (uint32_t(uint8_t(png[at + 2])) << 8) | uint32_t(uint8_t(png[at + 3]));
    };
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(word(16), 500u);
    EXPECT_EQ(word(20), 140u);

    EXPECT_EQ(run({"--snapshot", out("a.png"), "--demo", out("b.wav")}).exitCode, 2);
    EXPECT_EQ(run({"--snapshot", out("a.png"), "--ticks", "0"}).exitCode, 2);
    Result unwritable = run({"--snapshot", (root / "no" / "such" / "dir" / "e.png").string()});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(lines(unwritable.err).size(), 1u) << unwritable.err;
}
