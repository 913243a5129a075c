// varnox-render's command line: what it refuses and in which order, what
// the summary says, and the small conveniences (--version, --plugin NAME).
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/tools/render_support.h"

namespace {

using namespace rendertest;

class CommandLineTest : public RenderTest {};

TEST_F(CommandLineTest, UsageErrorsComeFirstAndOpenNoFile) {
    writeAudio(in("ok.wav"), testSignal(2, 44100, 2000));
    const std::string missing = in("missing.wav");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        // A missing input does not hide what is wrong with the command line.
        {{missing, out("o.wav"), "--program", "Loud"}, "unknown program 'Loud'"},
        {{missing, out("o.wav"), "--set", "Volume=3"}, "unknown parameter 'Volume'"},
        {{missing, out("o.xyz")}, "cannot tell the output type"},
        {{missing, out("o.flac"), "--type", "wav"}, "does not match the output name"},
        {{missing, out("o.ogg"), "--format", "16"}, "hold Vorbis"},
        {{missing, out("o.wav"), "--format", "24", "--no-dither"}, "--no-dither"},
        // Options that would do nothing where they stand.
        {{missing, out("o.wav"), "--ticks", "3"}, "--ticks works only with --snapshot"},
        {{missing, out("o.wav"), "-j", "2"}, "-j works only with -o DIR"},
        {{"--list", "--format", "16"}, "--format does nothing with --list"},
        {{"--list", "--block", "64"}, "--block does nothing with --list"},
        {{"--list", "-q"}, "-q does nothing with --list"},
        {{"--demo", out("d.wav"), "--in-place"}, "--in-place does nothing with --demo"},
        {{"--snapshot", out("e.png"), "--plugin", "x.so"}, "--plugin does nothing with --snapshot"},
        {{"--snapshot", out("e.png"), "--format", "16"}, "--format does nothing with --snapshot"},
        {{"--list", "--demo", out("d.wav")}, "do not go together"},
        // A picture is a PNG, whatever it is called.
        {{"--snapshot", out("editor.jpg")}, "name the file .png"},
        {{in("ok.wav"), in("ok.wav")}, "both input and output"},
        // -o takes a folder: an existing file there is a slip of the hand.
        {{"-o", in("ok.wav"), in("ok.wav")}, "'" + in("ok.wav") + "' is a file"},
    };
    for (const Case& c : cases) {
        Result result = run(c.args);
        EXPECT_EQ(result.exitCode, 2) << c.message << ": " << result.err;
        EXPECT_EQ(lines(result.err).size(), 1u) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_TRUE(outputFiles().empty()) << c.message;
    }
}

TEST_F(CommandLineTest, TheSummaryTellsWhatWasAppliedAndMeasured) {
    // Float samples that are no numbers, and a single frame.
    Audio odd{1, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, std::vector<float>(1000, 0.25f)};
    odd.samples[10] = std::numeric_limits<float>::quiet_NaN();
    odd.samples[20] = std::numeric_limits<float>::infinity();
    odd.samples[30] = -std::numeric_limits<float>::infinity();
    writeAudio(in("odd.wav"), odd);
    writeAudio(in("one.wav"), Audio{2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, {0.5f, -0.5f}});

    Result result = run({in("odd.wav"), out("odd.wav"), "--set", "Ingain=-6", "--set", "attack=30", "--set",
                         "Boost=on", "--set", "1=0.75"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // The steps the plug-in took, in its own words; Attack once, as last set.
    EXPECT_NE(result.out.find("program 0 \"Default\", Ingain -5.9 db, Attack 75.0 %, Boost On;"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("input peak -12.0 dBFS, RMS -12.0 dBFS, 3 samples not finite"), std::string::npos)
        << result.out;
    for (std::string word : {"nan", "inf dBFS"})
        EXPECT_EQ(result.out.find(word), std::string::npos) << word << " in " << result.out;

    Result tiny = run({in("one.wav"), out("one.wav")});
    ASSERT_EQ(tiny.exitCode, 0) << tiny.err;
    EXPECT_NE(tiny.out.find("real-time factor - (too short to time)"), std::string::npos) << tiny.out;
    EXPECT_NE(tiny.out.find("(WAV, 16-bit PCM, TPDF dither)"), std::string::npos) << tiny.out;
}

TEST_F(CommandLineTest, VersionAndAPluginNamedWithoutAFolder) {
    Result version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind(std::string("varnox-render ") + VARNOX_VERSION + " (libsndfile-", 0), 0u) << version.out;

    // A bare name is the file in the current folder, as with any other path.
    writeAudio(in("ok.wav"), testSignal(2, 44100, 2000));
    fs::create_directories(root / "plugins");
    fs::copy_file(VARNOX_PLUGIN, root / "plugins" / "copy.so");
    RunOptions inPlugins{"", "", (root / "plugins").string()};
    Result loaded = run({in("ok.wav"), out("ok.wav"), "--plugin", "copy.so"}, inPlugins);
    EXPECT_EQ(loaded.exitCode, 0) << loaded.err;
    Result missing = run({"--list", "--plugin", "libm.so.6"}, inPlugins);
    EXPECT_EQ(missing.exitCode, 3) << "not the system's library of that name";
    EXPECT_NE(missing.err.find("./libm.so.6"), std::string::npos) << missing.err;
}

TEST_F(CommandLineTest, HelpOffersOnlyTheTypesItWrites) {
    const std::string help = run({"--help"}).out;
    const size_t list = help.find("Output types by extension: ");
    ASSERT_NE(list, std::string::npos);
    std::string text = help.substr(list + 27);
    for (char& c : text)
        if (c == '\n' || c == ',') c = ' ';
    std::vector<std::string> types;
    for (size_t at = text.find('.'); at != std::string::npos && at + 1 < text.size() && text[at + 1] != ' ';
         at = text.find('.', at + 1)) {
        size_t end = text.find(' ', at);
        std::string type = text.substr(at + 1, end - at - 1);
        if (!type.empty() && type.back() == '.') type.pop_back();  // the list's full stop
        types.push_back(type);
        at = end - 1;
    }
    // Types libsndfile lists but does not write here.
    for (const char* never : {"m1a", "sd2", "wve"})
        EXPECT_EQ(std::find(types.begin(), types.end(), never), types.end()) << never;
    // Every one offered takes a mono render at a rate all of them hold.
    ASSERT_GT(types.size(), 10u);
    writeAudio(in("mono.wav"), testSignal(1, 8000, 800));
    for (const std::string& type : types) {
        Result result = run({in("mono.wav"), out("o." + type), "-q"});
        EXPECT_EQ(result.exitCode, 0) << type << ": " << result.err;
    }
}

TEST_F(CommandLineTest, NamesWithControlCharactersStayOnOneSummaryLine) {
    writeAudio(in("two\nlines.wav"), testSignal(2, 44100, 2000));
    Result result = run({in("two\nlines.wav"), out("o.wav")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(lines(result.out).size(), 1u) << result.out;
    EXPECT_NE(result.out.find("two\\nlines.wav -> "), std::string::npos) << result.out;
}

}  // namespace
