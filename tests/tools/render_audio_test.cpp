// varnox-render's audio beyond stereo files: channels in pairs, and the
// reduction to 16 bits with and without dither.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/tools/render_support.h"
#include "tools/render/dither.h"

namespace {

using namespace rendertest;

class ChannelTest : public RenderTest {};

TEST_F(ChannelTest, ChannelsGoThroughTheirOwnInstancePerPair) {
    for (int channels : {3, 5, 6}) {
        Audio input = testSignal(channels, 48000, 20000);
        // Channels unlike each other, so that a pair mixed up would show.
        for (size_t i = 0; i < input.samples.size(); ++i) input.samples[i] *= 1.0f - 0.1f * static_cast<float>(i % channels);
        const std::string name = std::to_string(channels) + ".wav";
        writeAudio(in(name), input);
        Result result = run({in(name), out(name), "--program", "9", "--block", "256"});
        ASSERT_EQ(result.exitCode, 0) << channels << ": " << result.err;
        const std::string layout = std::to_string(channels) + " channels (" + std::to_string(channels / 2) +
                                   (channels / 2 == 1 ? " stereo pair" : " stereo pairs") +
                                   (channels % 2 != 0 ? " and a mono channel)" : ")");
        EXPECT_NE(result.out.find(layout), std::string::npos) << result.out;

        Audio output = readAudio(out(name));
        ASSERT_EQ(output.channels, channels);
        for (int first = 0; first + 1 < channels; first += 2) {
            EngineRun pair = runEngine(pickChannels(input, {first, first + 1}), 256, 9);
            Audio rendered = pickChannels(output, {first, first + 1});
            expectIdentical(rendered.samples, pair.samples, name + " pair " + std::to_string(first));
        }
        if (channels % 2 != 0) {
            // A lone channel sounds as either channel of a pair of two equal ones.
            int last = channels - 1;
            EngineRun twin = runEngine(pickChannels(input, {last, last}), 256, 9);
            Audio alone = pickChannels(output, {last});
            expectIdentical(alone.samples, pickChannels(Audio{2, 48000, 0, twin.samples}, {0}).samples,
                            name + " last channel");
        }
    }
}

class DitherTest : public RenderTest {
protected:
    // The float render and its 16-bit reductions, in steps of 1/32768.
    struct Renders {
        std::vector<double> exact, dithered, rounded;
    };

    Renders renderAll(const Audio& input) {
        writeAudio(in("quiet.wav"), input);
        Renders renders;
        struct Run {
            std::vector<std::string> options;
            std::vector<double>* into;
        };
        for (const Run& r : {Run{{"--format", "float"}, &renders.exact}, Run{{"--format", "16"}, &renders.dithered},
                             Run{{"--format", "16", "--no-dither"}, &renders.rounded}}) {
            std::vector<std::string> args = {in("quiet.wav"), out("q.wav")};
            args.insert(args.end(), r.options.begin(), r.options.end());
            Result result = run(args);
            EXPECT_EQ(result.exitCode, 0) << result.err;
            for (float sample : readAudio(out("q.wav")).samples) r.into->push_back(sample * 32768.0);
        }
        return renders;
    }

    static double mean(const std::vector<double>& values) {
        double sum = 0.0;
        for (double v : values) sum += v;
        return sum / static_cast<double>(values.size());
    }
    static double correlation(const std::vector<double>& a, const std::vector<double>& b) {
        double ma = mean(a), mb = mean(b), ab = 0.0, aa = 0.0, bb = 0.0;
        for (size_t i = 0; i < a.size(); ++i) {
            ab += (a[i] - ma) * (b[i] - mb);
            aa += (a[i] - ma) * (a[i] - ma);
            bb += (b[i] - mb) * (b[i] - mb);
        }
        return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
    }
    static std::vector<double> difference(const std::vector<double>& a, const std::vector<double>& b) {
        std::vector<double> result(a.size());
        for (size_t i = 0; i < a.size(); ++i) result[i] = a[i] - b[i];
        return result;
    }
};

TEST_F(DitherTest, SixteenBitOutputOfAQuietSineIsDitheredNotTruncated) {
    // A 997 Hz sine of 0.4 steps: below half a step, so plain rounding loses it.
    Audio input{1, 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, {}};
    for (int n = 0; n < 96000; ++n) input.samples.push_back(static_cast<float>(0.4 / 32768 * std::sin(2 * M_PI * 997 * n / 48000.0)));
    Renders renders = renderAll(input);
    ASSERT_EQ(renders.dithered.size(), renders.exact.size());
    ASSERT_EQ(renders.rounded.size(), renders.exact.size());
    ASSERT_GT(*std::max_element(renders.exact.begin(), renders.exact.end()), 0.3) << "the plug-in passes the sine";

    // Without dither: each sample rounded to the nearest step, so the error is
    // the signal itself, with the sign turned.
    for (size_t i = 0; i < renders.exact.size(); ++i)
        ASSERT_EQ(renders.rounded[i], std::floor(renders.exact[i] + 0.5)) << i;
    std::vector<double> roundingError = difference(renders.rounded, renders.exact);
    EXPECT_LT(correlation(roundingError, renders.exact), -0.99);

    // With dither: the error is noise of mean 0 and variance 1/4 step^2 (1/12
    // of rounding plus 1/6 of the triangular dither), bounded by 1.5 steps and
    // unrelated to the signal, which lives on in the output.
    std::vector<double> ditherError = difference(renders.dithered, renders.exact);
    double variance = 0.0;
    for (double e : ditherError) {
        ASSERT_LE(std::fabs(e), 1.5);
        variance += e * e;
    }
    variance /= static_cast<double>(ditherError.size());
    EXPECT_NEAR(mean(ditherError), 0.0, 0.02);
    EXPECT_NEAR(variance, 0.25, 0.02);
    EXPECT_LT(std::fabs(correlation(ditherError, renders.exact)), 0.02);
    EXPECT_GT(correlation(renders.dithered, renders.exact), 0.3);
    for (double step : renders.dithered) ASSERT_EQ(step, std::floor(step)) << "whole steps";
}

// The quantiser on its own, at the edges a render seldom reaches.
TEST(Quantiser, RoundsToTheNearestStepAndClipsAtFullScale) {
    const float nan = std::nanf("");
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        int bits;
        float sample;
        int16_t word;
    };
    const std::vector<Case> cases = {
        {16, 0.0f, 0},           {16, 1.0f, 32767},      {16, -1.0f, -32768},    {16, 1.5f, 32767},
        {16, -7.0f, -32768},     {16, inf, 32767},       {16, -inf, -32768},     {16, nan, 0},
        {16, 2.5f / 32768, 3},   {16, -2.5f / 32768, -2}, {16, 2.49f / 32768, 2}, {16, 0.3f, 9830},
        {8, 1.0f, 127 * 256},    {8, -1.0f, -128 * 256}, {8, 0.3f, 38 * 256},    {8, -0.3f, -38 * 256},
        {8, 100.0f / 32768, 0},  {8, 200.0f / 32768, 256},
    };
    for (const Case& c : cases) {
        Quantiser plain(c.bits, false);
        int16_t word = 0;
        plain.run(&c.sample, &word, 1);
        EXPECT_EQ(word, c.word) << c.bits << " bits, " << c.sample;
    }
    // With dither the full-scale ends still hold, and a level between two
    // steps comes out right on average.
    Quantiser dithered(16, true);
    std::vector<float> samples(100000, 1.0f);
    std::vector<int16_t> words(samples.size());
    dithered.run(samples.data(), words.data(), samples.size());
    // Full scale is half a step above the highest: dither never brings it lower.
    EXPECT_EQ(*std::min_element(words.begin(), words.end()), 32767);
    EXPECT_EQ(*std::max_element(words.begin(), words.end()), 32767);
    std::fill(samples.begin(), samples.end(), 0.25f / 32768);
    dithered.run(samples.data(), words.data(), samples.size());
    double sum = 0.0;
    for (int16_t w : words) {
        ASSERT_GE(w, -1);
        ASSERT_LE(w, 1);
        sum += w;
    }
    EXPECT_NEAR(sum / static_cast<double>(words.size()), 0.25, 0.01);

    // 24 bits: rounded to the nearest step, never toward minus infinity.
    struct Wide {
        float sample;
        int32_t step;
    };
    for (const Wide& w : {Wide{1000.9f / 8388608, 1001}, Wide{-1000.1f / 8388608, -1000}, Wide{0.4f / 8388608, 0},
                          Wide{1.0f, 8388607}, Wide{-1.0f, -8388608}, Wide{2.0f, 8388607}}) {
        Quantiser wide(24, false);
        int32_t word = 0;
        wide.run(&w.sample, &word, 1);
        EXPECT_EQ(word, static_cast<int32_t>(static_cast<uint32_t>(w.step) << 8)) << w.sample * 8388608;
        EXPECT_EQ(wide.clipped(), w.sample >= 1.0f ? 1 : 0) << w.sample;
    }
}

TEST_F(DitherTest, TwentyFourBitOutputIsRoundedAndItsClipsCounted) {
    // The test signal runs above full scale for a stretch, which the plug-in
    // holds at full scale: 24-bit has no step for +1.0 and clips it, and the
    // summary counts what was clipped; float holds it.
    writeAudio(in("loud.wav"), testSignal(2, 48000, 20000));
    ASSERT_EQ(run({in("loud.wav"), out("f.wav"), "--format", "float"}).exitCode, 0);
    Result result = run({in("loud.wav"), out("i.wav"), "--format", "24"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<float> exact = readAudio(out("f.wav")).samples;
    const std::vector<float> stored = readAudio(out("i.wav")).samples;
    ASSERT_EQ(stored.size(), exact.size());
    int64_t clipped = 0;
    for (size_t i = 0; i < exact.size(); ++i) {
        double step = std::floor(static_cast<double>(exact[i]) * 8388608.0 + 0.5);
        if (step > 8388607.0 || step < -8388608.0) ++clipped;
        step = std::clamp(step, -8388608.0, 8388607.0);
        ASSERT_EQ(static_cast<double>(stored[i]) * 8388608.0, step) << i;
    }
    ASSERT_GT(clipped, 0) << "the signal reaches beyond full scale";
    EXPECT_NE(result.out.find("; " + std::to_string(clipped) + " samples clipped at full scale;"), std::string::npos)
        << result.out;
    EXPECT_EQ(run({in("loud.wav"), out("f.wav"), "--format", "float"}).out.find("clipped at"), std::string::npos)
        << "float holds it all";
}

TEST_F(DitherTest, EachFileAndChannelGetsItsOwnDither) {
    // Two stems with the same quiet content, both channels alike: their
    // dither must not add up coherently when they are mixed.
    Audio input{2, 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, {}};
    for (int n = 0; n < 48000; ++n) {
        float sample = static_cast<float>(3.0 / 32768 * std::sin(2 * M_PI * 440 * n / 48000.0));
        input.samples.insert(input.samples.end(), {sample, sample});
    }
    writeAudio(in("kick.wav"), input);
    writeAudio(in("snare.wav"), input);
    ASSERT_EQ(run({in("kick.wav"), out("exact.wav"), "--format", "float"}).exitCode, 0);
    const std::vector<float> exact = readAudio(out("exact.wav")).samples;
    auto ditherError = [&](const std::string& name, int channel) {
        std::vector<double> error;
        const std::vector<float> dithered = readAudio(out(name)).samples;
        for (size_t i = static_cast<size_t>(channel); i < dithered.size(); i += 2)
            error.push_back((static_cast<double>(dithered[i]) - exact[i]) * 32768.0);
        return error;
    };
    for (const char* name : {"kick.wav", "snare.wav"}) ASSERT_EQ(run({in(name), out(name), "--format", "16"}).exitCode, 0);
    EXPECT_LT(std::fabs(correlation(ditherError("kick.wav", 0), ditherError("snare.wav", 0))), 0.03) << "two files";
    EXPECT_LT(std::fabs(correlation(ditherError("kick.wav", 0), ditherError("kick.wav", 1))), 0.03) << "two channels";
    // The same name and settings give the same file again.
    const std::string first = slurp(out("kick.wav"));
    ASSERT_EQ(run({in("kick.wav"), out("kick.wav"), "--format", "16"}).exitCode, 0);
    EXPECT_TRUE(slurp(out("kick.wav")) == first);
}

}  // namespace
