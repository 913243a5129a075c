// varnox-render --oversample: the plug-in between libsoxr's resamplers, the
// output as long as the input and in time with it, the folding gone.
#include <sndfile.h>

#include <cmath>

#include "tests/support/spectrum.h"
#include "tests/tools/render_support.h"

namespace rendertest {
namespace {

using OversampleTest = RenderTest;

Audio sine(double frequency, int frames) {
    Audio audio{2, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, {}};
    for (int i = 0; i < frames; ++i) {
        const auto s = static_cast<float>(0.5 * std::sin(2.0 * M_PI * frequency * i / 44100.0));
        audio.samples.push_back(s);
        audio.samples.push_back(s);
    }
    return audio;
}

TEST_F(OversampleTest, KeepsLengthAndTimingAndRemovesTheFolding) {
    // Program 0 is clean: out as in, sample for sample in time.
    Audio clean = sine(1000.0, 30011);
    ASSERT_TRUE(writeAudio(in("clean.wav"), clean));
    Result r = run({in("clean.wav"), out("clean.wav"), "--format", "float", "--oversample", "4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("oversampled 4x"), std::string::npos) << r.out;
    const Audio back = readAudio(out("clean.wav"));
    ASSERT_EQ(back.frames(), clean.frames());
    double error = 0.0;
    for (size_t i = 2000; i < 2 * (clean.frames() - 2000); ++i)
        error = std::max(error, std::fabs(double{back.samples[i]} - clean.samples[i]));
    EXPECT_LT(error, 1e-5) << "aligned with the input (away from the ends, where band-limiting rings)";

    // Program 9 on 5 kHz: folding 31 dB down at the file's rate, none to speak
    // of at 8x. Measured away from the file's ends, where any band-limiting
    // rings at the sudden start and stop.
    ASSERT_TRUE(writeAudio(in("tone.wav"), sine(5000.0, 44100 + 8820 + 4410)));
    ASSERT_EQ(run({in("tone.wav"), out("1x.wav"), "--format", "float", "--program", "9"}).exitCode, 0);
    r = run({in("tone.wav"), out("8x.wav"), "--format", "float", "--program", "9", "--oversample", "8"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GT(offHarmonicDb(readAudio(out("1x.wav")).samples.data() + 2 * 44100, 2, 8820, 5000.0, 44100.0), -35.0);
    EXPECT_LT(offHarmonicDb(readAudio(out("8x.wav")).samples.data() + 2 * 44100, 2, 8820, 5000.0, 44100.0), -85.0);

    EXPECT_EQ(run({in("tone.wav"), out("3x.wav"), "--oversample", "3"}).exitCode, 2);
}

}  // namespace
}  // namespace rendertest
