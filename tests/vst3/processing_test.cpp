// The VST 3 process call against the VST 2 face: the same signal, the same
// parameter values at the same sample offsets, output bit for bit; bypass,
// program changes inside a block, the parameter flush, silence flags, and
// nothing allocated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "tests/support/allocation_counter.h"
#include "tests/vst3/vst3_host.h"
#include "tests/windows/host_script.h"

namespace {

using namespace vst3host;

struct Point {
    int32 offset;
    ParamID id;
    double value;
};

struct Block {
    int32 frames;
    std::vector<Point> points;
};

// A deterministic automation script: blocks of changing sizes, up to four
// points per block on random parameters at random offsets, on steps and
// between them, with program changes and bypass now and then.
std::vector<Block> automationScript(uint32_t seed, int32 totalFrames, bool programsAndBypass) {
    constexpr int32 kSizes[] = {512, 333, 64, 7, 1024, 1, 250, 0};
    std::vector<Block> blocks;
    uint32_t state = seed;
    const auto next = [&state](uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    int32 done = 0;
    for (std::size_t n = 0; done < totalFrames; ++n) {
        Block block;
        block.frames = std::min(kSizes[n % std::size(kSizes)], totalFrames - done);
        const uint32_t count = next(5);
        for (uint32_t i = 0; i < count; ++i) {
            Point point;
            point.offset = block.frames > 0 ? static_cast<int32>(next(static_cast<uint32_t>(block.frames))) : 0;
            point.id = programsAndBypass ? next(8) : next(6);
            const int32 steps = point.id < 4 ? 128 : point.id == 7 ? 9 : 1;
            point.value = next(4) == 0 ? next(1000) / 999.0 : static_cast<double>(next(steps + 1)) / steps;
            block.points.push_back(point);
        }
        // Queues hold their points in offset order.
        std::stable_sort(block.points.begin(), block.points.end(),
                         [](const Point& a, const Point& b) { return a.offset < b.offset; });
        blocks.push_back(block);
        done += block.frames;
    }
    return blocks;
}

// The VST 3 side: each block one process call with its queues.
Rendered renderVst3(Plugin& plugin, const std::vector<float>& input, const std::vector<Block>& blocks,
                    std::vector<uint64>* silence = nullptr) {
    Rendered out;
    std::vector<float> inL, inR, outL(1024), outR(1024);
    int32 done = 0;
    ParameterChanges changes;
    for (const Block& block : blocks) {
        inL.assign(static_cast<std::size_t>(block.frames), 0.0f);
        inR.assign(inL.size(), 0.0f);
        for (int32 i = 0; i < block.frames; ++i) {
            inL[i] = input[2 * (done + i)];
            inR[i] = input[2 * (done + i) + 1];
        }
        changes.clear();
        for (const Point& p : block.points) changes.add(p.id, p.offset, p.value);
        uint64 flags = 0;
        EXPECT_EQ(plugin.process(inL.data(), inR.data(), outL.data(), outR.data(), block.frames, &changes, nullptr,
                                 &flags),
                  kResultOk);
        if (silence) silence->push_back(flags);
        out.left.insert(out.left.end(), outL.begin(), outL.begin() + block.frames);
        out.right.insert(out.right.end(), outR.begin(), outR.begin() + block.frames);
        done += block.frames;
    }
    return out;
}

// The VST 2 side: the block split at every point, values set in between as a
// VST 2 host does; bypassed pieces pass the input.
Rendered renderVst2(Vst2Plugin& vst2, const std::vector<float>& input, const std::vector<Block>& blocks) {
    Rendered out;
    bool bypassed = false;
    int32 done = 0;
    std::vector<float> inL(1024), inR(1024), outL(1024), outR(1024);
    const auto piece = [&](int32 from, int32 to) {
        for (int32 i = from; i < to; ++i) {
            inL[i - from] = input[2 * (done + i)];
            inR[i - from] = input[2 * (done + i) + 1];
        }
        if (bypassed) {
            std::copy_n(inL.begin(), to - from, outL.begin());
            std::copy_n(inR.begin(), to - from, outR.begin());
        } else if (to > from) {
            vst2.process(inL.data(), inR.data(), outL.data(), outR.data(), to - from);
        }
        out.left.insert(out.left.end(), outL.begin(), outL.begin() + (to - from));
        out.right.insert(out.right.end(), outR.begin(), outR.begin() + (to - from));
    };
    for (const Block& block : blocks) {
        // At one offset: program, bypass, then the parameters.
        std::vector<Point> points = block.points;
        std::stable_sort(points.begin(), points.end(), [](const Point& a, const Point& b) {
            const auto rank = [](ParamID id) { return id == 7 ? 0 : id == 6 ? 1 : 2; };
            return a.offset != b.offset ? a.offset < b.offset : rank(a.id) < rank(b.id);
        });
        int32 position = 0;
        for (const Point& p : points) {
            piece(position, p.offset);
            position = p.offset;
            if (p.id == 7) vst2.dispatch(effSetProgram, 0, std::min(9, static_cast<int>(p.value * 10)));
            else if (p.id == 6) bypassed = p.value >= 0.5;
            else vst2.set(static_cast<int32_t>(p.id), static_cast<float>(p.value));
        }
        piece(position, block.frames);
        done += block.frames;
    }
    return out;
}

struct ScriptCase {
    const char* name;
    int32 program;
    double sampleRate;
    uint32_t seed;
    bool programsAndBypass;
};

void PrintTo(const ScriptCase& c, std::ostream* os) { *os << c.name; }

class Vst3AgainstVst2 : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(Vst3AgainstVst2, SameSamplesForTheSameValuesAtTheSameOffsets) {
    const ScriptCase& c = GetParam();
    const std::vector<float> input = hostscript::inputSignal();
    const auto blocks = automationScript(c.seed, hostscript::kFrames, c.programsAndBypass);

    Plugin plugin(bundle().factory());
    plugin.controller->setParamNormalized(7, c.program / 9.0);
    plugin.start(c.sampleRate, 1024);
    std::vector<uint64> silence;
    const Rendered vst3 = renderVst3(plugin, input, blocks, &silence);

    Vst2Plugin vst2;
    vst2.dispatch(effSetProgram, 0, c.program);
    vst2.start(static_cast<float>(c.sampleRate), 1024);
    const Rendered vst2Out = renderVst2(vst2, input, blocks);
    expectSameSamples(vst3, vst2Out, c.name);

    // Every block says which of its outputs are silent, and only those.
    int32 done = 0;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const auto zero = [&](const std::vector<float>& s) {
            return std::all_of(s.begin() + done, s.begin() + done + blocks[b].frames, [](float v) { return v == 0.0f; });
        };
        const uint64 expected = (zero(vst3.left) ? 1u : 0u) | (zero(vst3.right) ? 2u : 0u);
        EXPECT_EQ(silence[b], expected) << "block " << b;
        done += blocks[b].frames;
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, Vst3AgainstVst2,
                         ::testing::Values(ScriptCase{"program0_44100", 0, 44100.0, 1, false},
                                           ScriptCase{"program3_48000", 3, 48000.0, 2, false},
                                           ScriptCase{"program9_96000", 9, 96000.0, 3, false},
                                           ScriptCase{"programs_and_bypass_44100", 4, 44100.0, 4, true},
                                           ScriptCase{"programs_and_bypass_88200", 7, 88200.0, 5, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A program change inside a block tells the host the six values it set, at its offset.
TEST(Vst3Processing, ProgramChangeInABlockReportsTheNewValues) {
    Plugin plugin(bundle().factory());
    plugin.start();
    std::vector<float> in(256, 0.25f), outL(256), outR(256);
    ParameterChanges changes, reported;
    changes.add(7, 100, 5.0 / 9.0);
    ASSERT_EQ(plugin.process(in.data(), in.data(), outL.data(), outR.data(), 256, &changes, &reported), kResultOk);
    Vst2Plugin vst2;
    vst2.dispatch(effSetProgram, 0, 5);
    ASSERT_EQ(reported.count, 6);
    for (ParamID id = 0; id < 6; ++id) {
        ParameterChanges::Queue* queue = reported.find(id);
        ASSERT_NE(queue, nullptr) << id;
        ASSERT_EQ(queue->count, 1);
        EXPECT_EQ(queue->offsets[0], 100);
        EXPECT_EQ(queue->values[0], vst2.get(static_cast<int32_t>(id)));
    }
    EXPECT_EQ(plugin.controller->getParamNormalized(7), 5.0 / 9.0);
}

// A block of no samples carries only parameter changes; with or without buffers.
TEST(Vst3Processing, EmptyBlockAppliesItsParameters) {
    Plugin plugin(bundle().factory());
    plugin.start();
    ParameterChanges changes;
    changes.add(3, 0, 1.0);
    changes.add(0, 0, 0.25);
    ProcessData data{};
    data.symbolicSampleSize = kSample32;
    data.inputParameterChanges = &changes;
    ASSERT_EQ(plugin.processor->process(data), kResultOk);
    EXPECT_EQ(plugin.controller->getParamNormalized(3), 1.0);
    EXPECT_EQ(plugin.controller->getParamNormalized(0), 0.25);
}

// Bypassed, the input passes bit for bit, in place or not; the effect's state
// waits where it was.
TEST(Vst3Processing, BypassPassesTheInputAndHoldsTheEffect) {
    const std::vector<float> input = hostscript::inputSignal();
    std::vector<float> inL(512), inR(512);
    for (int i = 0; i < 512; ++i) {
        inL[i] = input[2 * i];
        inR[i] = input[2 * (i + 3000) + 1] * 3.0f;  // past full scale
    }
    Plugin plugin(bundle().factory());
    plugin.controller->setParamNormalized(7, 9 / 9.0);
    plugin.start();
    ParameterChanges bypassOn;
    bypassOn.add(6, 0, 1.0);
    std::vector<float> outL(512), outR(512);
    plugin.process(inL.data(), inR.data(), outL.data(), outR.data(), 512, &bypassOn);
    EXPECT_EQ(std::memcmp(outL.data(), inL.data(), 512 * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(outR.data(), inR.data(), 512 * sizeof(float)), 0);
    std::vector<float> inPlaceL = inL, inPlaceR = inR;
    plugin.process(inPlaceL.data(), inPlaceR.data(), inPlaceL.data(), inPlaceR.data(), 512);
    EXPECT_EQ(inPlaceL, inL);
    EXPECT_EQ(inPlaceR, inR);

    // Out of bypass the effect goes on as if the bypassed blocks never came.
    ParameterChanges bypassOff;
    bypassOff.add(6, 0, 0.0);
    plugin.process(inL.data(), inR.data(), outL.data(), outR.data(), 512, &bypassOff);
    Vst2Plugin vst2;
    vst2.dispatch(effSetProgram, 0, 9);
    vst2.start();
    std::vector<float> refL(512), refR(512);
    vst2.process(inL.data(), inR.data(), refL.data(), refR.data(), 512);
    EXPECT_EQ(outL, refL);
    EXPECT_EQ(outR, refR);
}

// Inputs flagged silent are read as silence whatever their buffers hold.
TEST(Vst3Processing, SilentFlaggedInputIsSilence) {
    Plugin a(bundle().factory()), b(bundle().factory());
    for (Plugin* p : {&a, &b}) {
        p->controller->setParamNormalized(7, 3 / 9.0);
        p->start();
    }
    std::vector<float> garbage(300, 0.7f), zeros(300, 0.0f), outA(300), outB(300), outA2(300), outB2(300);
    uint64 silence = 0;
    a.process(garbage.data(), garbage.data(), outA.data(), outB.data(), 300, nullptr, nullptr, &silence, 3);
    b.process(zeros.data(), zeros.data(), outA2.data(), outB2.data(), 300);
    EXPECT_EQ(outA, outA2);
    EXPECT_EQ(outB, outB2);
    EXPECT_EQ(silence, 3u);
}

// The tail the host is told of: after loud input stops, the output is exactly
// silent from that many samples on, whatever the program.
TEST(Vst3Processing, OutputFallsSilentWithinTheTailItReports) {
    for (int32 program = 0; program < 10; ++program) {
        Plugin plugin(bundle().factory());
        plugin.controller->setParamNormalized(7, program / 9.0);
        plugin.start();
        const uint32 tail = plugin.processor->getTailSamples();
        const std::vector<float> input = hostscript::inputSignal();
        std::vector<float> inL(512), inR(512), outL(512), outR(512);
        for (int i = 0; i < 256; ++i) {
            inL[i] = input[2 * (26460 + i)];  // past full scale
            inR[i] = input[2 * (26460 + i) + 1];
        }
        plugin.process(inL.data(), inR.data(), outL.data(), outR.data(), 512);
        for (int i = 256 + static_cast<int>(tail); i < 512; ++i) {
            ASSERT_EQ(outL[i], 0.0f) << "program " << program << " sample " << i;
            ASSERT_EQ(outR[i], 0.0f) << "program " << program << " sample " << i;
        }
    }
}

TEST(Vst3Processing, NothingAllocatedWhileProcessing) {
    if (!allocations::counting()) GTEST_SKIP() << "allocation counting is off under the sanitizers";
    Plugin plugin(bundle().factory());
    plugin.start(48000.0, 512);
    const std::vector<float> input = hostscript::inputSignal();
    std::vector<float> outL(512), outR(512);
    ParameterChanges changes, reported;
    const std::uint64_t before = allocations::onThisThread();
    for (int block = 0; block < 64; ++block) {
        changes.clear();
        reported.clear();
        changes.add(3, 10, (block % 128) / 128.0);
        changes.add(0, 100, 0.3);
        changes.add(7, 200, (block % 10) / 9.0);
        changes.add(6, 300, block % 3 == 0 ? 1.0 : 0.0);
        plugin.process(input.data() + block * 512, input.data() + block * 512 + 7, outL.data(), outR.data(), 512,
                       &changes, &reported, nullptr, block % 2);
    }
    EXPECT_EQ(allocations::onThisThread(), before);
}

}  // namespace
