// The VST 3 face's Oversampling parameter: the latency it reports is the
// delay an impulse takes, hosts hear of a change, the bypass keeps time with
// it, states carry it, and the folding is gone at 8x.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/oversampler.h"
#include "tests/support/spectrum.h"
#include "tests/vst3/vst3_host.h"

namespace {

using namespace vst3host;
constexpr ParamID kOversampling = 8, kBypass = 6;

std::vector<float> through(Plugin& plugin, const std::vector<float>& input, int32 block = 256) {
    std::vector<float> left(input.size()), right(input.size());
    for (std::size_t at = 0; at < input.size(); at += static_cast<std::size_t>(block)) {
        const auto n = static_cast<int32>(std::min<std::size_t>(block, input.size() - at));
        EXPECT_EQ(plugin.process(input.data() + at, input.data() + at, left.data() + at, right.data() + at, n), kResultOk);
    }
    return left;
}

int32 peakAt(const std::vector<float>& signal) {
    int32 peak = 0;
    for (std::size_t i = 0; i < signal.size(); ++i)
        if (std::fabs(signal[i]) > std::fabs(signal[static_cast<std::size_t>(peak)])) peak = static_cast<int32>(i);
    return peak;
}

TEST(Vst3Oversampling, LatencyIsTheImpulsesDelayAndTheBypassKeepsTime) {
    Plugin plugin(bundle().factory());
    EditHandler handler;
    plugin.controller->setComponentHandler(&handler);
    EXPECT_EQ(plugin.processor->getLatencySamples(), 0u);
    plugin.start();
    std::vector<float> impulse(4096, 0.0f);
    impulse[1000] = 0.5f;
    for (int32 step = 1; step <= 4; ++step) {
        SCOPED_TRACE(step);
        handler.calls.clear();
        ASSERT_EQ(plugin.controller->setParamNormalized(kOversampling, step / 4.0), kResultOk);
        const auto latency = static_cast<int32>(plugin.processor->getLatencySamples());
        EXPECT_EQ(latency, Oversampler::latencyFor(1 << step));
        ASSERT_EQ(handler.calls.size(), 1u);
        EXPECT_EQ(handler.calls[0], (EditHandler::Call{'r', 0, 8.0})) << "kLatencyChanged";
        EXPECT_EQ(peakAt(through(plugin, impulse)), 1000 + latency) << "program 0 is clean: a delay";
        plugin.controller->setParamNormalized(kBypass, 1.0);
        const std::vector<float> dry = through(plugin, impulse);
        EXPECT_EQ(peakAt(dry), 1000 + latency);
        EXPECT_EQ(dry[static_cast<std::size_t>(1000 + latency)], 0.5f) << "the bypass is the input, delayed";
        plugin.controller->setParamNormalized(kBypass, 0.0);
    }
    handler.calls.clear();
    plugin.controller->setParamNormalized(kOversampling, 1.0);
    EXPECT_TRUE(handler.calls.empty()) << "the same factor again changes nothing";

    // Saved and loaded with the rest; a fresh instance takes it.
    Plugin other(bundle().factory());
    MemoryStream saved(plugin.state());
    ASSERT_EQ(other.component->setState(&saved), kResultOk);
    EXPECT_EQ(other.controller->getParamNormalized(kOversampling), 1.0);
    EXPECT_EQ(other.processor->getLatencySamples(), static_cast<uint32>(Oversampler::latencyFor(16)));
    plugin.controller->setComponentHandler(nullptr);
}

TEST(Vst3Oversampling, EightTimesLeavesNoAudibleFolding) {
    std::vector<float> sine(44100 + 8820);
    for (std::size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * 5000.0 * static_cast<double>(i) / 44100.0));
    const auto measure = [&](double step) {
        Plugin plugin(bundle().factory());
        plugin.controller->setParamNormalized(7, 1.0);  // program 9
        plugin.controller->setParamNormalized(kOversampling, step);
        plugin.start();
        const std::vector<float> out = through(plugin, sine, 512);
        return offHarmonicDb(out.data() + 44100, 1, 8820, 5000.0, 44100.0);
    };
    EXPECT_GT(measure(0.0), -35.0);
    EXPECT_LT(measure(0.75), -84.0);
}

}  // namespace
