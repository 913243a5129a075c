// The module as a host first meets it: the entry, the factory, the one
// descriptor, the extensions, and the lifecycle a host runs again and again.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/clap/clap_host.h"

namespace {

using namespace claphost;

TEST(ClapModule, EntryFactoryAndDescriptor) {
    EXPECT_EQ(entry().clap_version.major, 1u);
    EXPECT_EQ(entry().get_factory("clap.preset-discovery-factory"), nullptr);
    EXPECT_EQ(entry().get_factory("nothing"), nullptr);
    ASSERT_EQ(factory().get_plugin_count(&factory()), 1u);
    EXPECT_EQ(factory().get_plugin_descriptor(&factory(), 1), nullptr);

    const clap_plugin_descriptor_t* d = factory().get_plugin_descriptor(&factory(), 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->clap_version.major, 1u);
    EXPECT_STREQ(d->id, "com.zem.varnox");
    EXPECT_STREQ(d->name, "ORv Varnox");
    EXPECT_STREQ(d->vendor, "Zem");
    EXPECT_STREQ(d->version, VARNOX_PROJECT_VERSION);
    std::vector<std::string> features;
    for (const char* const* f = d->features; *f; ++f) features.emplace_back(*f);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "distortion", "stereo"}));
}

TEST_F(ClapTest, FactoryRefusesOtherIdsAndOlderHosts) {
    EXPECT_EQ(factory().create_plugin(&factory(), host.record(), "com.zem.other"), nullptr);
    EXPECT_EQ(factory().create_plugin(&factory(), host.record(), nullptr), nullptr);
    clap_host_t ancient = *host.record();
    ancient.clap_version = {0, 19, 0};
    EXPECT_EQ(factory().create_plugin(&factory(), &ancient, "com.zem.varnox"), nullptr);
}

TEST_F(ClapTest, OffersItsExtensionsAndNoOthers) {
    Plugin plugin(host);
    for (const char* id : {CLAP_EXT_AUDIO_PORTS, CLAP_EXT_PARAMS, CLAP_EXT_STATE, CLAP_EXT_LATENCY, CLAP_EXT_TAIL,
                           CLAP_EXT_RENDER, CLAP_EXT_GUI, CLAP_EXT_TIMER_SUPPORT, CLAP_EXT_POSIX_FD_SUPPORT}) {
        EXPECT_NE(plugin->get_extension(plugin.get(), id), nullptr) << id;
    }
    EXPECT_EQ(plugin->get_extension(plugin.get(), "clap.note-ports"), nullptr);
    EXPECT_EQ(plugin->get_extension(plugin.get(), "clap.params.draft"), nullptr);

    // One stereo main port each way.
    const auto* ports = plugin.extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
    for (bool input : {true, false}) {
        ASSERT_EQ(ports->count(plugin.get(), input), 1u);
        clap_audio_port_info_t info;
        std::memset(&info, 0xab, sizeof info);
        ASSERT_TRUE(ports->get(plugin.get(), 0, input, &info));
        EXPECT_EQ(info.id, 0u);
        EXPECT_EQ(info.channel_count, 2u);
        EXPECT_EQ(info.flags, CLAP_AUDIO_PORT_IS_MAIN);
        EXPECT_STREQ(info.port_type, "stereo");
        EXPECT_EQ(info.in_place_pair, CLAP_INVALID_ID);
        EXPECT_NE(std::memchr(info.name, 0, sizeof info.name), nullptr);
        EXPECT_FALSE(ports->get(plugin.get(), 1, input, &info));
    }

    EXPECT_EQ(plugin.extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY)->get(plugin.get()), 0u);
    EXPECT_EQ(plugin.extension<clap_plugin_tail_t>(CLAP_EXT_TAIL)->get(plugin.get()), 2u);
    const auto* render = plugin.extension<clap_plugin_render_t>(CLAP_EXT_RENDER);
    EXPECT_FALSE(render->has_hard_realtime_requirement(plugin.get()));
    EXPECT_TRUE(render->set(plugin.get(), CLAP_RENDER_OFFLINE));
    EXPECT_TRUE(render->set(plugin.get(), CLAP_RENDER_REALTIME));
}

// Activation cycles at changing rates and sizes: each one processes, and the
// same input gives the same output after every cycle.
TEST_F(ClapTest, ActivateDeactivateCycles) {
    Plugin plugin(host);
    EXPECT_FALSE(plugin->activate(plugin.get(), 0.0, 1, 512)) << "no rate, no activation";
    EXPECT_FALSE(plugin->activate(plugin.get(), 44100.0, 1, 0)) << "no frames, no activation";
    plugin.flushValues({{3, 100.0}});

    std::vector<float> in(512), outL(512), outR(512);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = 0.5f * static_cast<float>((i * 37) % 101) / 101.0f - 0.25f;
    std::vector<float> first;
    for (int cycle = 0; cycle < 6; ++cycle) {
        const double rate = cycle % 2 ? 96000.0 : 44100.0;
        ASSERT_TRUE(plugin.activate(rate, cycle % 3 ? 512 : 8192)) << "cycle " << cycle;
        EXPECT_FALSE(plugin->activate(plugin.get(), rate, 1, 512)) << "already active";
        EXPECT_EQ(plugin.process(in.data(), in.data(), outL.data(), outR.data(), 512), CLAP_PROCESS_CONTINUE);
        EXPECT_EQ(outL, outR) << "one buffer passed twice is processed as mono";
        if (cycle == 0) first = outL;
        if (cycle % 2 == 0) {
            EXPECT_EQ(outL, first) << "a fresh activation starts from the same state";
        }
        plugin.deactivate();
    }
    // A reset between blocks starts the stages afresh, as an activation does.
    ASSERT_TRUE(plugin.activate(44100.0, 512));
    plugin.process(in.data(), in.data(), outL.data(), outR.data(), 512);
    plugin->reset(plugin.get());
    plugin.process(in.data(), in.data(), outL.data(), outR.data(), 512);
    EXPECT_EQ(outL, first);
    plugin.deactivate();

    // Not active, nothing is processed.
    EXPECT_EQ(plugin.process(in.data(), in.data(), outL.data(), outR.data(), 512), CLAP_PROCESS_ERROR);
}

}  // namespace
