// The state: saved and restored exactly, through streams that move a few
// bytes at a time; the record the VST 3 face stores read alike; anything
// truncated, oversize, damaged or cut off by a failing stream refused with
// nothing changed.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/clap/clap_host.h"

namespace {

using namespace claphost;

std::vector<double> allValues(const Plugin& plugin) {
    std::vector<double> values;
    for (clap_id id = 0; id < 9; ++id) values.push_back(plugin.value(id));
    return values;
}

void putWord(std::vector<uint8_t>& bytes, uint32_t word) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
}

// A record made by hand: "VXv3", a version, a count, then (id, raw) pairs.
std::vector<uint8_t> record(uint32_t version, const std::vector<std::pair<uint32_t, float>>& entries) {
    std::vector<uint8_t> bytes = {'V', 'X', 'v', '3'};
    putWord(bytes, version);
    putWord(bytes, static_cast<uint32_t>(entries.size()));
    for (const auto& [id, raw] : entries) {
        uint32_t bits;
        std::memcpy(&bits, &raw, sizeof bits);
        putWord(bytes, id);
        putWord(bytes, bits);
    }
    return bytes;
}

TEST_F(ClapTest, StateRoundTripRestoresValuesAndSamples) {
    Plugin first(host);
    first.flushValues({{7, 5.0}, {0, 70.0}, {3, 101.0}, {5, 1.0}, {8, 2.0}});
    const std::vector<uint8_t> saved = first.save(3);  // the host takes three bytes at a time
    EXPECT_EQ(saved, first.save());

    Plugin second(host);
    const int rescansBefore = host.rescans;
    ASSERT_TRUE(second.load(saved, 1));
    EXPECT_EQ(allValues(second), allValues(first));
    EXPECT_EQ(second.value(7), 5.0);
    EXPECT_EQ(host.rescans, rescansBefore + 1) << "the host is told to read the values again";

    // The same values, the same samples.
    ASSERT_TRUE(first.activate());
    ASSERT_TRUE(second.activate());
    std::vector<float> in(512), a(512), b(512), c(512), d(512);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<float>(i % 50) / 60.0f - 0.4f;
    first.process(in.data(), in.data(), a.data(), b.data(), 512);
    second.process(in.data(), in.data(), c.data(), d.data(), 512);
    EXPECT_EQ(a, c);

    // Loaded while active, on the main thread: takes effect in the next block.
    Plugin third(host);
    ASSERT_TRUE(third.activate());
    ASSERT_TRUE(third.load(saved));
    third.process(in.data(), in.data(), c.data(), d.data(), 512);
    EXPECT_EQ(allValues(third), allValues(first));
}

// The record is the one the VST 3 face stores: a VST 3 project's state
// reads here, and an older record gives what it lacks its default.
TEST_F(ClapTest, ReadsTheSharedRecord) {
    Plugin plugin(host);
    plugin.flushValues({{0, 10.0}});
    ASSERT_TRUE(plugin.load(record(2, {{3, 100.0f}, {6, 1.0f}})));
    EXPECT_EQ(allValues(plugin), (std::vector<double>{64, 64, 64, 100, 0, 0, 1, 0, 0}));

    // Version 1: six normalised values, the program and bypass.
    std::vector<uint8_t> v1 = {'V', 'X', 'v', '3'};
    putWord(v1, 1);
    for (float value : {0.5f, 0.25f, 1.0f, 0.0f, 1.0f, 0.0f}) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        putWord(v1, bits);
    }
    putWord(v1, 0);
    putWord(v1, 1);
    ASSERT_TRUE(plugin.load(v1));
    EXPECT_EQ(allValues(plugin), (std::vector<double>{64, 32, 128, 0, 1, 0, 1, 0, 0}));
}

TEST_F(ClapTest, BadStateIsRefusedAndNothingChanges) {
    Plugin plugin(host);
    plugin.flushValues({{7, 2.0}, {1, 3.0}, {6, 1.0}});
    const std::vector<uint8_t> good = plugin.save();
    const std::vector<double> before = allValues(plugin);
    const int rescans = host.rescans;

    std::vector<std::pair<const char*, std::vector<uint8_t>>> bad;
    for (std::size_t cut = 0; cut < good.size(); cut += 5) bad.push_back({"truncated", {good.begin(), good.begin() + cut}});
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    bad.push_back({"one byte too many", longer});
    bad.push_back({"far too long", std::vector<uint8_t>(100000, 0x41)});
    std::vector<uint8_t> magic = good;
    magic[0] = 'W';
    bad.push_back({"another magic", magic});
    bad.push_back({"a later version", record(3, {{3, 1.0f}})});
    bad.push_back({"no step", record(2, {{3, 64.5f}})});
    bad.push_back({"beyond the range", record(2, {{4, 2.0f}})});
    bad.push_back({"negative", record(2, {{0, -1.0f}})});
    bad.push_back({"no such program", record(2, {{7, 10.0f}})});
    bad.push_back({"no such parameter", record(2, {{9, 0.0f}})});
    bad.push_back({"no such factor", record(2, {{8, 5.0f}})});
    bad.push_back({"twice", record(2, {{3, 1.0f}, {3, 2.0f}})});
    std::vector<uint8_t> count = record(2, {{3, 1.0f}});
    count[8] = 200;
    bad.push_back({"a count beyond the entries", count});
    std::vector<uint8_t> garbage(good.size());
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 151 + 7);
    bad.push_back({"garbage", garbage});

    for (const auto& [what, bytes] : bad) {
        EXPECT_FALSE(plugin.load(bytes, 7)) << what << " (" << bytes.size() << " bytes)";
        EXPECT_EQ(allValues(plugin), before) << what;
    }
    // A stream that fails part way, even after giving the whole record.
    for (std::size_t at : {std::size_t{0}, std::size_t{10}, good.size()}) {
        EXPECT_FALSE(plugin.load(good, 4, at)) << "failing at " << at;
        EXPECT_EQ(allValues(plugin), before);
    }
    EXPECT_EQ(host.rescans, rescans);
}

}  // namespace
