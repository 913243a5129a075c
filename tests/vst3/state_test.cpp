// What a host stores of the effect: saved and restored, the sound comes back
// bit for bit; anything but a valid record is refused and changes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/vst3/vst3_host.h"
#include "tests/windows/host_script.h"

namespace {

using namespace vst3host;

std::vector<float> render(Plugin& plugin, int32 frames = 8192) {
    const std::vector<float> input = hostscript::inputSignal();
    plugin.start();
    std::vector<float> out;
    std::vector<float> inL(512), inR(512), outL(512), outR(512);
    for (int32 done = 0; done < frames; done += 512) {
        for (int i = 0; i < 512; ++i) {
            inL[i] = input[2 * (done + i)] * 1.5f;
            inR[i] = input[2 * (done + i) + 1];
        }
        plugin.process(inL.data(), inR.data(), outL.data(), outR.data(), 512);
        out.insert(out.end(), outL.begin(), outL.end());
        out.insert(out.end(), outR.begin(), outR.end());
    }
    plugin.component->setActive(false);
    return out;
}

void putWord(std::vector<uint8_t>& bytes, uint32_t w) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(w >> (8 * i)));
}

void putFloat(std::vector<uint8_t>& bytes, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    putWord(bytes, bits);
}

// The layout of version 1, which projects saved before parameters were
// tagged still hold: six normalised values, the program, bypass.
std::vector<uint8_t> record(const std::array<float, 6>& values, int32_t program, uint32_t bypass) {
    std::vector<uint8_t> bytes = {'V', 'X', 'v', '3', 1, 0, 0, 0};
    for (float v : values) putFloat(bytes, v);
    putWord(bytes, static_cast<uint32_t>(program));
    putWord(bytes, bypass);
    return bytes;
}

// Version 2: each entry a parameter id and its raw step.
std::vector<uint8_t> tagged(const std::vector<std::pair<uint32_t, float>>& entries) {
    std::vector<uint8_t> bytes = {'V', 'X', 'v', '3', 2, 0, 0, 0};
    putWord(bytes, static_cast<uint32_t>(entries.size()));
    for (const auto& [id, raw] : entries) {
        putWord(bytes, id);
        putFloat(bytes, raw);
    }
    return bytes;
}

TEST(Vst3State, RecordLayoutIsLittleEndianVersionedAndTagged) {
    Plugin plugin(bundle().factory());
    plugin.controller->setParamNormalized(7, 6 / 9.0);
    plugin.controller->setParamNormalized(2, 0.3);  // stored as its step, 38
    plugin.controller->setParamNormalized(6, 1.0);
    EXPECT_EQ(plugin.state(), tagged({{0, 64}, {1, 81}, {2, 38}, {3, 128}, {4, 1}, {5, 1}, {6, 1}, {7, 6}, {8, 0}}));
}

// A project saved with the first layout loads as it always did; a record
// without some parameter gives it its default.
TEST(Vst3State, OlderRecordsStillLoad) {
    Plugin fromVersion1(bundle().factory());
    MemoryStream old(record({64 / 128.f, 81 / 128.f, 38 / 128.f, 1.f, 1.f, 1.f}, 6, 1));
    ASSERT_EQ(fromVersion1.component->setState(&old), kResultOk);
    EXPECT_EQ(fromVersion1.state(), tagged({{0, 64}, {1, 81}, {2, 38}, {3, 128}, {4, 1}, {5, 1}, {6, 1}, {7, 6}, {8, 0}}));

    Plugin partial(bundle().factory());
    partial.controller->setParamNormalized(6, 1.0);
    MemoryStream some(tagged({{7, 3}, {3, 100}}));
    ASSERT_EQ(partial.component->setState(&some), kResultOk);
    EXPECT_EQ(partial.state(), tagged({{0, 64}, {1, 64}, {2, 64}, {3, 100}, {4, 0}, {5, 0}, {6, 0}, {7, 3}, {8, 0}}));
}

// Saved from one instance and loaded into a fresh one: same values, same
// program, same bypass, and the same samples from there on.
TEST(Vst3State, RoundTripRestoresTheSoundBitForBit) {
    struct Case {
        int32 program;
        std::vector<std::pair<ParamID, double>> sets;
    };
    const Case cases[] = {
        {0, {}},
        {3, {{0, 0.8}, {3, 0.33}}},
        {8, {{1, 0.0}, {2, 1.0}, {4, 0.0}, {5, 1.0}}},
        {2, {{0, 0.3}, {6, 1.0}}},
    };
    for (const Case& c : cases) {
        Plugin original(bundle().factory());
        original.controller->setParamNormalized(7, c.program / 9.0);
        for (const auto& [id, value] : c.sets) original.controller->setParamNormalized(id, value);
        const std::vector<uint8_t> saved = original.state();

        Plugin restored(bundle().factory());
        MemoryStream stream(saved);
        stream.chunk = 3;  // hosts' streams may hand out a few bytes at a time
        ASSERT_EQ(restored.component->setState(&stream), kResultOk);
        stream.position = 0;
        ASSERT_EQ(restored.controller->setComponentState(&stream), kResultOk);
        for (ParamID id = 0; id < 8; ++id)
            EXPECT_EQ(restored.controller->getParamNormalized(id), original.controller->getParamNormalized(id)) << id;
        EXPECT_EQ(restored.state(), saved);
        EXPECT_EQ(render(restored), render(original)) << "program " << c.program;
    }
}

TEST(Vst3State, ControllerStateIsTheSameRecord) {
    Plugin plugin(bundle().factory());
    plugin.controller->setParamNormalized(1, 0.77);
    MemoryStream controllerState;
    ASSERT_EQ(plugin.controller->getState(&controllerState), kResultOk);
    EXPECT_EQ(controllerState.data, plugin.state());
    Plugin other(bundle().factory());
    EditHandler handler;
    other.controller->setComponentHandler(&handler);
    controllerState.position = 0;
    ASSERT_EQ(other.controller->setState(&controllerState), kResultOk);
    EXPECT_EQ(other.state(), plugin.state());
    // A restored state is the host's own doing: nothing comes back as an edit.
    plugin.controller->setParamNormalized(7, 8 / 9.0);
    MemoryStream otherProgram(plugin.state());
    ASSERT_EQ(other.component->setState(&otherProgram), kResultOk);
    EXPECT_TRUE(handler.calls.empty());
    other.controller->setComponentHandler(nullptr);
}

TEST(Vst3State, BadRecordsAreRefusedAndChangeNothing) {
    const std::vector<uint8_t> good = record({0.5f, 0.25f, 0.75f, 1.0f, 0.0f, 1.0f}, 4, 0);
    std::vector<std::pair<std::string, std::vector<uint8_t>>> bad;
    for (std::size_t size = 0; size < good.size(); ++size)
        bad.emplace_back("truncated to " + std::to_string(size), std::vector<uint8_t>(good.begin(), good.begin() + size));
    auto longer = good;
    longer.push_back(0);
    bad.emplace_back("one byte more", longer);
    auto twice = good;
    twice.insert(twice.end(), good.begin(), good.end());
    bad.emplace_back("two records", twice);
    auto magic = good;
    magic[3] = '2';
    bad.emplace_back("other magic", magic);
    for (uint8_t version : {0, 2, 3, 255}) {
        auto v = good;
        v[4] = version;
        bad.emplace_back("version " + std::to_string(version), v);
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float value : {-0.001f, 1.001f, nan, std::numeric_limits<float>::infinity()})
        bad.emplace_back("value " + std::to_string(value), record({0.5f, value, 0.5f, 0.f, 0.f, 0.f}, 0, 0));
    bad.emplace_back("program 10", record({0.5f, 0.5f, 0.5f, 0.f, 0.f, 0.f}, 10, 0));
    bad.emplace_back("program -1", record({0.5f, 0.5f, 0.5f, 0.f, 0.f, 0.f}, -1, 0));
    bad.emplace_back("bypass 2", record({0.5f, 0.5f, 0.5f, 0.f, 0.f, 0.f}, 0, 2));
    bad.emplace_back("text", std::vector<uint8_t>(40, 'x'));
    const std::vector<std::pair<uint32_t, float>> entries = {{0, 64}, {3, 128}, {6, 0}, {7, 2}};
    const std::vector<uint8_t> goodTagged = tagged(entries);
    for (std::size_t size = 0; size < goodTagged.size(); ++size)
        bad.emplace_back("tagged truncated to " + std::to_string(size),
                         std::vector<uint8_t>(goodTagged.begin(), goodTagged.begin() + size));
    auto longerTagged = goodTagged;
    longerTagged.push_back(0);
    bad.emplace_back("tagged, one byte more", longerTagged);
    auto miscounted = goodTagged;
    miscounted[8] = 5;
    bad.emplace_back("one entry fewer than counted", miscounted);
    auto huge = goodTagged;
    huge[11] = 0x80;
    bad.emplace_back("a count past any size", huge);
    bad.emplace_back("unknown id", tagged({{0, 64}, {99, 0}}));
    bad.emplace_back("id twice", tagged({{3, 1}, {3, 2}}));
    for (float raw : {-1.0f, 129.0f, 0.5f, nan, std::numeric_limits<float>::infinity()})
        bad.emplace_back("knob step " + std::to_string(raw), tagged({{1, raw}}));
    bad.emplace_back("switch step 2", tagged({{4, 2}}));
    bad.emplace_back("program 10", tagged({{7, 10}}));

    Plugin plugin(bundle().factory());
    plugin.controller->setParamNormalized(7, 7 / 9.0);
    plugin.controller->setParamNormalized(3, 0.5);
    const std::vector<uint8_t> before = plugin.state();
    for (const auto& [name, bytes] : bad) {
        MemoryStream stream(bytes);
        EXPECT_EQ(plugin.component->setState(&stream), kResultFalse) << name;
        stream.position = 0;
        EXPECT_EQ(plugin.controller->setComponentState(&stream), kResultFalse) << name;
        EXPECT_EQ(plugin.state(), before) << name;
    }
    EXPECT_EQ(plugin.component->setState(nullptr), kInvalidArgument);
    MemoryStream stream(good);
    EXPECT_EQ(plugin.component->setState(&stream), kResultOk);
}

}  // namespace
