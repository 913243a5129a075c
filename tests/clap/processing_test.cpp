// The CLAP process call against the VST 2 face: the same signal, the same
// parameter values at the same sample offsets, output bit for bit; program
// changes inside a block, sleeping after silence, hostile event lists, and
// nothing allocated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "tests/clap/clap_host.h"
#include "tests/support/allocation_counter.h"
#include "tests/windows/host_script.h"

namespace {

using namespace claphost;

struct Point {
    uint32_t offset;
    clap_id id;
    double value;  // as the host sends it: a raw step, or between steps
};

struct Block {
    uint32_t frames;
    std::vector<Point> points;
};

double stepsOf(clap_id id) { return id < 4 ? 128 : id == 7 ? 9 : 1; }

// Blocks of changing sizes, up to four points per block at random offsets,
// on steps and between them; with program changes and bypass now and then.
// At one offset a host lists the program first, then bypass, then the rest.
std::vector<Block> automationScript(uint32_t seed, int totalFrames, bool programsAndBypass) {
    constexpr uint32_t kSizes[] = {512, 333, 64, 7, 1024, 1, 250, 0};
    std::vector<Block> blocks;
    uint32_t state = seed;
    const auto next = [&state](uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    int done = 0;
    for (std::size_t n = 0; done < totalFrames; ++n) {
        Block block;
        block.frames = std::min<uint32_t>(kSizes[n % std::size(kSizes)], static_cast<uint32_t>(totalFrames - done));
        const uint32_t count = next(5);
        for (uint32_t i = 0; i < count; ++i) {
            Point p;
            p.offset = block.frames > 0 ? next(block.frames) : 0;
            p.id = programsAndBypass ? next(8) : next(6);
            const auto steps = static_cast<uint32_t>(stepsOf(p.id));
            p.value = next(4) == 0 ? next(1000) / 999.0 * steps : next(steps + 1);
            block.points.push_back(p);
        }
        std::stable_sort(block.points.begin(), block.points.end(), [](const Point& a, const Point& b) {
            const auto rank = [](clap_id id) { return id == 7 ? 0 : id == 6 ? 1 : 2; };
            return a.offset != b.offset ? a.offset < b.offset : rank(a.id) < rank(b.id);
        });
        blocks.push_back(block);
        done += static_cast<int>(block.frames);
    }
    return blocks;
}

Rendered renderClap(Plugin& plugin, const std::vector<float>& input, const std::vector<Block>& blocks) {
    Rendered out;
    std::vector<float> inL, inR, outL(1024), outR(1024);
    std::size_t done = 0;
    InputEvents events;
    for (const Block& block : blocks) {
        inL.resize(block.frames);
        inR.resize(block.frames);
        for (uint32_t i = 0; i < block.frames; ++i) {
            inL[i] = input[2 * (done + i)];
            inR[i] = input[2 * (done + i) + 1];
        }
        events.clear();
        for (const Point& p : block.points) events.add(p.id, p.value, p.offset);
        plugin.process(inL.data(), inR.data(), outL.data(), outR.data(), block.frames, &events);
        out.left.insert(out.left.end(), outL.begin(), outL.begin() + block.frames);
        out.right.insert(out.right.end(), outR.begin(), outR.begin() + block.frames);
        done += block.frames;
    }
    return out;
}

// The VST 2 side: the block split at every point, the step set as the VST 2
// host value step / steps in between; bypassed pieces pass the input.
Rendered renderVst2(Vst2Plugin& vst2, const std::vector<float>& input, const std::vector<Block>& blocks) {
    Rendered out;
    bool bypassed = false;
    std::size_t done = 0;
    std::vector<float> inL(1024), inR(1024), outL(1024), outR(1024);
    const auto piece = [&](uint32_t from, uint32_t to) {
        for (uint32_t i = from; i < to; ++i) {
            inL[i - from] = input[2 * (done + i)];
            inR[i - from] = input[2 * (done + i) + 1];
        }
        if (bypassed) {
            std::copy_n(inL.begin(), to - from, outL.begin());
            std::copy_n(inR.begin(), to - from, outR.begin());
        } else if (to > from) {
            vst2.process(inL.data(), inR.data(), outL.data(), outR.data(), static_cast<int32_t>(to - from));
        }
        out.left.insert(out.left.end(), outL.begin(), outL.begin() + (to - from));
        out.right.insert(out.right.end(), outR.begin(), outR.begin() + (to - from));
    };
    for (const Block& block : blocks) {
        uint32_t position = 0;
        for (const Point& p : block.points) {
            piece(position, p.offset);
            position = p.offset;
            const double step = std::floor(p.value + 0.5);
            if (p.id == 7) vst2.dispatch(effSetProgram, 0, static_cast<intptr_t>(step));
            else if (p.id == 6) bypassed = step == 1.0;
            else vst2.set(static_cast<int32_t>(p.id), static_cast<float>(step / stepsOf(p.id)));
        }
        piece(position, block.frames);
        done += block.frames;
    }
    return out;
}

struct ScriptCase {
    const char* name;
    int program;
    double sampleRate;
    uint32_t seed;  // 0: no events at all
    bool programsAndBypass;
    double drive = -1;  // set before processing when >= 0
};

void PrintTo(const ScriptCase& c, std::ostream* os) { *os << c.name; }

class ClapAgainstVst2 : public ClapTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ClapAgainstVst2, SameSamplesForTheSameValuesAtTheSameOffsets) {
    const ScriptCase& c = GetParam();
    const std::vector<float> input = hostscript::inputSignal();
    const auto blocks = c.seed ? automationScript(c.seed, hostscript::kFrames, c.programsAndBypass)
                               : std::vector<Block>(hostscript::kFrames / 512 + 1, Block{512, {}});
    const std::vector<float> longer = [&] {
        std::vector<float> signal = input;
        signal.resize(2 * 512 * blocks.size(), 0.0f);
        return signal;
    }();

    Plugin plugin(host);
    if (c.program) plugin.flushValues({{7, static_cast<double>(c.program)}});
    if (c.drive >= 0) plugin.flushValues({{3, c.drive}});
    ASSERT_TRUE(plugin.activate(c.sampleRate, 1024));
    const Rendered clap = renderClap(plugin, longer, blocks);

    Vst2Plugin vst2;
    vst2.dispatch(effSetProgram, 0, c.program);
    if (c.drive >= 0) vst2.set(3, static_cast<float>(c.drive / 128.0));
    vst2.start(static_cast<float>(c.sampleRate), 1024);
    expectSameSamples(clap, renderVst2(vst2, longer, blocks), c.name);
}

INSTANTIATE_TEST_SUITE_P(Scripts, ClapAgainstVst2,
                         ::testing::Values(ScriptCase{"default_44100", 0, 44100.0, 0, false},
                                           ScriptCase{"drive_at_maximum_48000", 0, 48000.0, 0, false, 128.0},
                                           ScriptCase{"program0_44100", 0, 44100.0, 1, false},
                                           ScriptCase{"program3_48000", 3, 48000.0, 2, false},
                                           ScriptCase{"program9_96000", 9, 96000.0, 3, false},
                                           ScriptCase{"programs_and_bypass_44100", 4, 44100.0, 4, true},
                                           ScriptCase{"programs_and_bypass_88200", 7, 88200.0, 5, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A program change inside a block tells the host the six values it set, at
// its offset; what the editor did waits for the block's start.
TEST_F(ClapTest, ProgramChangeInABlockReportsTheNewValues) {
    Plugin plugin(host);
    ASSERT_TRUE(plugin.activate());
    std::vector<float> in(256, 0.1f), outL(256), outR(256);
    InputEvents events;
    events.add(3, 10.0, 5);
    events.add(7, 8.0, 100);
    events.add(7, 8.0, 120);  // the same program again: nothing to tell
    OutputEvents out;
    plugin.process(in.data(), in.data(), outL.data(), outR.data(), 256, &events, &out);
    // "Raw   Power": 54, 128, 0, 128, 1, 1.
    EXPECT_EQ(out.events, (std::vector<Event>{paramValue(0, 54, 100), paramValue(1, 128, 100), paramValue(2, 0, 100),
                                              paramValue(3, 128, 100), paramValue(4, 1, 100), paramValue(5, 1, 100)}));
    EXPECT_EQ(plugin.value(7), 8.0);
}

// Silence in gives silence out after the two-sample tail, and the host may
// then let the plug-in sleep; the silent outputs are flagged constant.
TEST_F(ClapTest, SleepsAfterATailOfSilence) {
    Plugin plugin(host);
    plugin.flushValues({{3, 128.0}, {0, 128.0}});
    ASSERT_TRUE(plugin.activate());
    std::vector<float> loud(64, 0.5f), quiet(64, 0.0f), outL(64), outR(64);
    uint64_t mask = 99;
    EXPECT_EQ(plugin.process(loud.data(), quiet.data(), outL.data(), outR.data(), 64, nullptr, nullptr, &mask),
              CLAP_PROCESS_CONTINUE);
    EXPECT_EQ(mask, 2u) << "only the silent right output is constant";
    EXPECT_EQ(plugin.process(quiet.data(), quiet.data(), outL.data(), outR.data(), 64, nullptr, nullptr, &mask),
              CLAP_PROCESS_CONTINUE)
        << "the tail still sounds";
    EXPECT_NE(outL[0], 0.0f);
    EXPECT_EQ(outL[2], 0.0f) << "the tail is two samples";
    EXPECT_EQ(plugin.process(quiet.data(), quiet.data(), outL.data(), outR.data(), 64, nullptr, nullptr, &mask),
              CLAP_PROCESS_SLEEP);
    EXPECT_EQ(mask, 3u);
    // Bypassed, the input passes and silence still sleeps.
    InputEvents bypass;
    bypass.add(6, 1.0);
    EXPECT_EQ(plugin.process(loud.data(), loud.data(), outL.data(), outR.data(), 64, &bypass), CLAP_PROCESS_CONTINUE);
    EXPECT_EQ(outL, loud);
    EXPECT_EQ(plugin.process(quiet.data(), quiet.data(), outL.data(), outR.data(), 64), CLAP_PROCESS_SLEEP);
}

// Events a careless host might send: out of order, past the block's end,
// of other types or spaces, too short, for no parameter. None is read
// beyond its size; each known one lands where the block has got to.
TEST_F(ClapTest, HostileEventLists) {
    Plugin plugin(host);
    ASSERT_TRUE(plugin.activate());

    struct Raw {
        clap_event_header_t header;
        uint8_t rest[64];
    };
    std::vector<Raw> raws(4);
    raws[0].header = {sizeof(clap_event_header_t), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};  // short
    raws[1].header = {sizeof(clap_event_param_value_t), 0, 7, CLAP_EVENT_PARAM_VALUE, 0};  // another space
    raws[2].header = {sizeof(clap_event_param_value_t), 0, CLAP_CORE_EVENT_SPACE_ID, 0, 0};  // a note
    raws[3].header = {sizeof(clap_event_param_value_t), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_MOD, 0};
    for (Raw& r : raws) std::memset(r.rest, 0xff, sizeof r.rest);
    clap_input_events_t odd{&raws,
                            [](const clap_input_events_t* l) {
                                return static_cast<uint32_t>(static_cast<std::vector<Raw>*>(l->ctx)->size() + 1);
                            },
                            [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* {
                                auto& v = *static_cast<std::vector<Raw>*>(l->ctx);
                                return i < v.size() ? &v[i].header : nullptr;  // the last one is missing
                            }};
    std::vector<float> in(128, 0.25f), outL(128), outR(128);
    clap_audio_buffer_t inBuffer{nullptr, nullptr, 2, 0, 0};
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {outL.data(), outR.data()};
    inBuffer.data32 = ins;
    clap_audio_buffer_t outBuffer{outs, nullptr, 2, 0, 0};
    OutputEvents out;
    clap_process_t block{-1, 128, nullptr, &inBuffer, &outBuffer, 1, 1, &odd, out.list()};
    EXPECT_EQ(plugin->process(plugin.get(), &block), CLAP_PROCESS_CONTINUE);
    for (clap_id id = 0; id < 8; ++id) EXPECT_EQ(plugin.value(id), id < 3 ? 64.0 : 0.0) << id;

    InputEvents careless;
    careless.add(3, 50.0, 100);
    careless.add(3, 60.0, 20);    // before the last: applies at 100
    careless.add(99, 1.0, 110);   // no such parameter
    careless.add(1, 3.0, 5000);   // past the end: applies at the end
    plugin.process(in.data(), in.data(), outL.data(), outR.data(), 128, &careless);
    EXPECT_EQ(plugin.value(3), 60.0);
    EXPECT_EQ(plugin.value(1), 3.0);

    // No output port at all, or inputs missing: the block still runs.
    clap_process_t bare{-1, 128, nullptr, nullptr, nullptr, 0, 0, nullptr, nullptr};
    plugin->process(plugin.get(), &bare);
    EXPECT_EQ(plugin->process(plugin.get(), &bare), CLAP_PROCESS_SLEEP);
    clap_process_t noInputs{-1, 128, nullptr, nullptr, &outBuffer, 0, 1, careless.list(), out.list()};
    plugin->process(plugin.get(), &noInputs);
    EXPECT_EQ(plugin->process(plugin.get(), &noInputs), CLAP_PROCESS_SLEEP);
    EXPECT_TRUE(std::all_of(outL.begin(), outL.end(), [](float s) { return s == 0.0f; }));
}

// Oversampling is set, not automated, and moves the latency: the host hears
// of it on the main thread while inactive and is asked for a restart while
// active; bypassed, the input comes through delayed by that latency, so
// switching the bypass does not shift the signal.
TEST_F(ClapTest, OversamplingMovesTheLatencyAndTheBypassFollows) {
    Plugin plugin(host);
    const auto* latency = plugin.extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
    EXPECT_EQ(latency->get(plugin.get()), 0u);
    char text[16];
    ASSERT_TRUE(plugin.params().value_to_text(plugin.get(), 8, 3.0, text, sizeof text));
    EXPECT_STREQ(text, "8x");

    plugin.flushValues({{8, 1.0}});
    const uint32_t at2x = latency->get(plugin.get());
    EXPECT_GT(at2x, 0u);
    EXPECT_EQ(host.latencyChanges, 1);
    plugin.flushValues({{8, 1.0}});
    EXPECT_EQ(host.latencyChanges, 1) << "the same factor again moves nothing";

    ASSERT_TRUE(plugin.activate(48000.0, 256));
    std::vector<float> impulse(256, 0.0f), outL(256), outR(256);
    impulse[10] = 1.0f;
    InputEvents bypass;
    bypass.add(6, 1.0);
    plugin.process(impulse.data(), impulse.data(), outL.data(), outR.data(), 256, &bypass);
    for (uint32_t i = 0; i < 256; ++i) EXPECT_EQ(outL[i], i == 10 + at2x ? 1.0f : 0.0f) << i;
    EXPECT_EQ(host.restarts, 0);

    InputEvents faster;
    faster.add(8, 3.0, 100);
    plugin.process(impulse.data(), impulse.data(), outL.data(), outR.data(), 256, &faster);
    EXPECT_EQ(host.restarts, 1);
    EXPECT_GT(latency->get(plugin.get()), at2x);
    EXPECT_EQ(host.latencyChanges, 1);
}

// The audio thread's call allocates nothing, whatever the block holds.
TEST_F(ClapTest, ProcessAllocatesNothing) {
    if (!allocations::counting()) GTEST_SKIP() << "allocations are not counted in this build";
    Plugin plugin(host);
    ASSERT_TRUE(plugin.activate(48000.0, 2048));
    std::vector<float> in(2048, 0.3f), outL(2048), outR(2048);
    InputEvents events;
    for (uint32_t t = 0; t < 2048; t += 97) events.add(t % 8, t % 3, t);
    OutputEvents out;
    const std::uint64_t before = allocations::onThisThread();
    for (int i = 0; i < 8; ++i) {
        out.events.clear();  // keeps its capacity: the host allocates nothing either
        plugin.process(in.data(), in.data(), outL.data(), outR.data(), 2048, &events, &out);
    }
    EXPECT_EQ(allocations::onThisThread(), before);
}

}  // namespace
