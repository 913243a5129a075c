// 64-bit samples and mono buses. A 64-bit block must give exactly what a
// 32-bit block of the same samples rounded to float gives, widened; bypassed,
// it passes the 64-bit input untouched. A mono input must sound as the VST 2
// library does when a host feeds one buffer to both of its inputs.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/allocation_counter.h"
#include "tests/vst3/vst3_host.h"
#include "tests/windows/host_script.h"

namespace {

using namespace vst3host;

// One process call on buffers of either sample size, mono or stereo.
template <typename Sample>
tresult processBlock(Plugin& plugin, const std::vector<Sample*>& inputs, const std::vector<Sample*>& outputs, int32 frames,
                     IParameterChanges* changes = nullptr, uint64 inputSilence = 0, uint64* outputSilence = nullptr) {
    AudioBusBuffers inBus{}, outBus{};
    inBus.numChannels = static_cast<int32>(inputs.size());
    outBus.numChannels = static_cast<int32>(outputs.size());
    inBus.silenceFlags = inputSilence;
    if constexpr (sizeof(Sample) == 8) {
        inBus.channelBuffers64 = const_cast<Sample**>(inputs.data());
        outBus.channelBuffers64 = const_cast<Sample**>(outputs.data());
    } else {
        inBus.channelBuffers32 = const_cast<Sample**>(inputs.data());
        outBus.channelBuffers32 = const_cast<Sample**>(outputs.data());
    }
    ProcessData data{};
    data.symbolicSampleSize = sizeof(Sample) == 8 ? kSample64 : kSample32;
    data.numSamples = frames;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    data.inputParameterChanges = changes;
    const tresult result = plugin.processor->process(data);
    if (outputSilence) *outputSilence = outBus.silenceFlags;
    return result;
}

void start(Plugin& plugin, int32 sampleSize, int32 maxBlock = 1024, int32 program = 0) {
    plugin.controller->setParamNormalized(7, program / 9.0);
    ProcessSetup setup{kRealtime, sampleSize, maxBlock, 44100.0};
    ASSERT_EQ(plugin.processor->setupProcessing(setup), kResultOk);
    ASSERT_EQ(plugin.component->setActive(true), kResultOk);
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Samples that are no floats: each is a float of the test signal plus a
// fraction of its last bit, so rounding to float matters and must go to
// nearest, as the host's own conversion would.
std::vector<double> wideSignal(int32 frames, int channel) {
    const std::vector<float> input = hostscript::inputSignal();
    std::vector<double> out(static_cast<std::size_t>(frames));
    for (int32 i = 0; i < frames; ++i) {
        const double x = input[2 * (20000 + i) + channel];
        out[i] = x + x * 0x1p-26 * ((i % 7) - 3) / 3.0;
    }
    return out;
}

std::vector<float> rounded(const std::vector<double>& samples) {
    return std::vector<float>(samples.begin(), samples.end());
}

// Blocks of changing sizes (one longer than the setup's maximum, which the
// face runs in pieces), each with a few parameter changes inside it.
struct WideCase {
    const char* name;
    int32 program;
    bool inPlace;
};

class Vst3Wide : public ::testing::TestWithParam<WideCase> {};

TEST_P(Vst3Wide, GivesTheFloatResultsOfTheRoundedInput) {
    const WideCase& c = GetParam();
    constexpr int32 kSizes[] = {512, 1, 333, 5000, 64, 0, 1024};
    int32 total = 0;
    for (int32 size : kSizes) total += size;
    const std::vector<double> wideL = wideSignal(total, 0), wideR = wideSignal(total, 1);
    const std::vector<float> narrowL = rounded(wideL), narrowR = rounded(wideR);

    Plugin wide(bundle().factory()), narrow(bundle().factory());
    start(wide, kSample64, 1024, c.program);
    start(narrow, kSample32, 1024, c.program);
    std::vector<double> inL = wideL, inR = wideR, outL(total), outR(total);
    std::vector<float> refL(total), refR(total);
    int32 at = 0;
    for (int32 size : kSizes) {
        ParameterChanges changes;
        changes.add(3, size / 3, 0.75);
        changes.add(6, size / 2, 1.0);  // bypass for a while
        changes.add(6, size * 3 / 4, 0.0);
        changes.add(0, size * 3 / 4, 0.3);
        double* wideOut[2] = {c.inPlace ? &inL[at] : &outL[at], c.inPlace ? &inR[at] : &outR[at]};
        ASSERT_EQ(processBlock<double>(wide, {&inL[at], &inR[at]}, {wideOut[0], wideOut[1]}, size, &changes), kResultOk);
        ASSERT_EQ(processBlock<float>(narrow, {const_cast<float*>(&narrowL[at]), const_cast<float*>(&narrowR[at])},
                                      {&refL[at], &refR[at]}, size, &changes),
                  kResultOk);
        at += size;
    }
    const std::vector<double>& gotL = c.inPlace ? inL : outL;
    const std::vector<double>& gotR = c.inPlace ? inR : outR;
    // Bypassed pieces pass the 64-bit input; everything else is the float result, widened.
    at = 0;
    for (int32 size : kSizes) {
        for (int32 i = 0; i < size; ++i) {
            const bool bypassed = i >= size / 2 && i < size * 3 / 4;
            const std::size_t n = static_cast<std::size_t>(at + i);
            const double expectL = bypassed ? wideL[n] : refL[n];
            const double expectR = bypassed ? wideR[n] : refR[n];
            ASSERT_TRUE(sameBits(gotL[n], expectL) && sameBits(gotR[n], expectR))
                << c.name << ": frame " << n << (bypassed ? " (bypassed)" : "") << ": " << gotL[n] << ", " << gotR[n]
                << " against " << expectL << ", " << expectR;
        }
        at += size;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, Vst3Wide,
                         ::testing::Values(WideCase{"program0", 0, false}, WideCase{"program4_in_place", 4, true},
                                           WideCase{"program9", 9, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// 64-bit blocks need a 64-bit setup; silent-flagged inputs and silent outputs
// are handled in 64 bits as in 32.
TEST(Vst3WideBlocks, NeedTheirSetupAndKeepSilenceFlags) {
    Plugin plugin(bundle().factory());
    start(plugin, kSample32);
    std::vector<double> in(256, 0.5), outL(256, 9.0), outR(256, 9.0);
    EXPECT_EQ(processBlock<double>(plugin, {in.data(), in.data()}, {outL.data(), outR.data()}, 256), kInvalidArgument);
    plugin.component->setActive(false);

    start(plugin, kSample64, 128, 3);
    uint64 silence = 0;
    // Garbage under the silence flag reads as silence: silent out, flagged.
    ASSERT_EQ(processBlock<double>(plugin, {in.data(), in.data()}, {outL.data(), outR.data()}, 256, nullptr, 3, &silence),
              kResultOk);
    EXPECT_EQ(silence, 3u);
    EXPECT_EQ(outL, std::vector<double>(256, 0.0));
    ASSERT_EQ(processBlock<double>(plugin, {in.data(), in.data()}, {outL.data(), outR.data()}, 256, nullptr, 0, &silence),
              kResultOk);
    EXPECT_EQ(silence, 0u);
}

// The 64-bit path converts through buffers made at setup: nothing is
// allocated per block, mono or stereo.
TEST(Vst3WideBlocks, AllocateNothingWhileProcessing) {
    if (!allocations::counting()) GTEST_SKIP() << "allocation counting is off under the sanitizers";
    Plugin stereo(bundle().factory()), mono(bundle().factory());
    SpeakerArrangement monoIn = SpeakerArr::kMono, stereoOut = SpeakerArr::kStereo;
    ASSERT_EQ(mono.processor->setBusArrangements(&monoIn, 1, &stereoOut, 1), kResultTrue);
    start(stereo, kSample64, 512, 5);
    start(mono, kSample64, 512, 5);
    std::vector<double> inL = wideSignal(512, 0), inR = wideSignal(512, 1), outL(512), outR(512);
    const std::vector<double*> stereoIn = {inL.data(), inR.data()}, monoIn1 = {inL.data()},
                               outs = {outL.data(), outR.data()};
    ParameterChanges changes;
    const std::uint64_t before = allocations::onThisThread();
    for (int block = 0; block < 32; ++block) {
        changes.clear();
        changes.add(3, 17, (block % 128) / 128.0);
        changes.add(6, 300, block % 3 == 0 ? 1.0 : 0.0);
        processBlock<double>(stereo, stereoIn, outs, 512, &changes, block % 2);
        processBlock<double>(mono, monoIn1, outs, 512, &changes);
    }
    EXPECT_EQ(allocations::onThisThread(), before);
}

// --- Mono

// The VST 2 library with one buffer on both inputs, as a mono host feeds it.
struct Vst2Mono {
    std::vector<float> left, right;
};
Vst2Mono vst2Mono(const std::vector<float>& input, int32 program, int32 block) {
    Vst2Plugin vst2;
    vst2.dispatch(effSetProgram, 0, program);
    vst2.start(44100.0f, block);
    Vst2Mono out{std::vector<float>(input.size()), std::vector<float>(input.size())};
    std::vector<float> in = input;
    for (std::size_t at = 0; at < input.size(); at += static_cast<std::size_t>(block)) {
        const auto frames = static_cast<int32_t>(std::min<std::size_t>(block, input.size() - at));
        vst2.process(&in[at], &in[at], &out.left[at], &out.right[at], frames);
    }
    return out;
}

std::vector<float> monoSignal(int32 frames) {
    const std::vector<float> input = hostscript::inputSignal();
    std::vector<float> out(static_cast<std::size_t>(frames));
    for (int32 i = 0; i < frames; ++i) out[i] = input[2 * (25000 + i)] * 1.5f;  // some past full scale
    return out;
}

void arrange(Plugin& plugin, SpeakerArrangement in, SpeakerArrangement out) {
    ASSERT_EQ(plugin.processor->setBusArrangements(&in, 1, &out, 1), kResultTrue);
}

class Vst3Mono : public ::testing::TestWithParam<int32> {};

// Mono to mono gives the one channel the VST 2 library gives on both outputs
// for a mono input (its two results are the same samples: no mix is needed);
// mono to stereo gives both.
TEST_P(Vst3Mono, SameSamplesAsTheVst2LibraryFedOneBufferTwice) {
    const int32 program = GetParam();
    constexpr int32 kFrames = 4096, kBlock = 512;
    const std::vector<float> input = monoSignal(kFrames);
    const Vst2Mono expected = vst2Mono(input, program, kBlock);
    ASSERT_EQ(expected.left, expected.right);

    Plugin monoOut(bundle().factory()), stereoOut(bundle().factory()), wideMono(bundle().factory());
    arrange(monoOut, SpeakerArr::kMono, SpeakerArr::kMono);
    arrange(stereoOut, SpeakerArr::kMono, SpeakerArr::kStereo);
    arrange(wideMono, SpeakerArr::kMono, SpeakerArr::kMono);
    start(monoOut, kSample32, kBlock, program);
    start(stereoOut, kSample32, kBlock, program);
    start(wideMono, kSample64, kBlock, program);
    std::vector<float> in = input, mono(kFrames), left(kFrames), right(kFrames);
    std::vector<double> wideIn(input.begin(), input.end()), wideOut(kFrames);
    for (int32 at = 0; at < kFrames; at += kBlock) {
        ASSERT_EQ(processBlock<float>(monoOut, {&in[at]}, {&mono[at]}, kBlock), kResultOk);
        ASSERT_EQ(processBlock<float>(stereoOut, {&in[at]}, {&left[at], &right[at]}, kBlock), kResultOk);
        ASSERT_EQ(processBlock<double>(wideMono, {&wideIn[at]}, {&wideOut[at]}, kBlock), kResultOk);
    }
    EXPECT_EQ(mono, expected.left);
    EXPECT_EQ(left, expected.left);
    EXPECT_EQ(right, expected.right);
    EXPECT_EQ(wideOut, std::vector<double>(expected.left.begin(), expected.left.end()));
}

INSTANTIATE_TEST_SUITE_P(Programs, Vst3Mono, ::testing::Values(0, 3, 8));

// Bypassed, mono to stereo puts the input on both outputs; a silent-flagged
// mono input is silence on both; mono to mono leaves a second host buffer alone.
TEST(Vst3MonoBuses, BypassSilenceAndSpareBuffers) {
    Plugin plugin(bundle().factory());
    arrange(plugin, SpeakerArr::kMono, SpeakerArr::kStereo);
    start(plugin, kSample32, 256, 9);
    const std::vector<float> input = monoSignal(256);
    std::vector<float> in = input, left(256), right(256);
    ParameterChanges bypassOn;
    bypassOn.add(6, 0, 1.0);
    ASSERT_EQ(processBlock<float>(plugin, {in.data()}, {left.data(), right.data()}, 256, &bypassOn), kResultOk);
    EXPECT_EQ(left, input);
    EXPECT_EQ(right, input);
    ParameterChanges bypassOff;
    bypassOff.add(6, 0, 0.0);
    std::vector<float> garbage(256, 0.7f);
    uint64 silence = 0;
    ASSERT_EQ(processBlock<float>(plugin, {garbage.data()}, {left.data(), right.data()}, 256, &bypassOff, 1, &silence),
              kResultOk);
    EXPECT_EQ(left, std::vector<float>(256, 0.0f));
    EXPECT_EQ(right, std::vector<float>(256, 0.0f));
    EXPECT_EQ(silence, 3u);

    plugin.component->setActive(false);
    arrange(plugin, SpeakerArr::kMono, SpeakerArr::kMono);
    start(plugin, kSample32, 256, 9);
    std::vector<float> spare(256, 0.25f);
    ASSERT_EQ(processBlock<float>(plugin, {in.data(), in.data()}, {left.data(), spare.data()}, 256), kResultOk);
    EXPECT_EQ(spare, std::vector<float>(256, 0.25f));
}

}  // namespace
