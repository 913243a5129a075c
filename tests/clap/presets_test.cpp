// The factory programs as presets: indexed through the preset discovery
// factory as a host's indexer does, and loaded by their keys through
// preset-load; a key or location that names no program is refused and
// changes nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/clap/clap_host.h"

namespace {

using namespace claphost;

const char* const kProgramNames[] = {"Default",          "Warming",          "Raised",          "Dense",
                                     "Duck  Compressed", "Rough Compressed", "Tightly  Harder", "Clean Power",
                                     "Raw   Power",      "Loud as can be"};

// An indexer and a metadata receiver that write down what they are told.
struct Indexer {
    std::vector<clap_preset_discovery_location_t> locations;
    struct Preset {
        std::string name, key, abi, id;
        uint32_t flags = 0;
    };
    std::vector<Preset> presets;
    std::size_t stopAfter = SIZE_MAX;

    clap_preset_discovery_indexer_t indexer{
        {1, 2, 2}, "Varnox test indexer", "", "", "1", this,
        [](const clap_preset_discovery_indexer_t*, const clap_preset_discovery_filetype_t*) { return true; },
        [](const clap_preset_discovery_indexer_t* i, const clap_preset_discovery_location_t* location) {
            static_cast<Indexer*>(i->indexer_data)->locations.push_back(*location);
            return true;
        },
        [](const clap_preset_discovery_indexer_t*, const clap_preset_discovery_soundpack*) { return true; },
        [](const clap_preset_discovery_indexer_t*, const char*) -> const void* { return nullptr; }};

    static Indexer& of(const clap_preset_discovery_metadata_receiver_t* r) {
        return *static_cast<Indexer*>(r->receiver_data);
    }
    clap_preset_discovery_metadata_receiver_t receiver{
        this,
        [](const clap_preset_discovery_metadata_receiver_t*, int32_t, const char* message) {
            ADD_FAILURE() << "metadata error: " << message;
        },
        [](const clap_preset_discovery_metadata_receiver_t* r, const char* name, const char* key) {
            Indexer& self = of(r);
            if (self.presets.size() >= self.stopAfter) return false;
            self.presets.push_back({name ? name : "", key ? key : "", "", "", 0});
            return true;
        },
        [](const clap_preset_discovery_metadata_receiver_t* r, const clap_universal_plugin_id_t* id) {
            of(r).presets.back().abi = id->abi;
            of(r).presets.back().id = id->id;
        },
        [](const clap_preset_discovery_metadata_receiver_t*, const char*) {},
        [](const clap_preset_discovery_metadata_receiver_t* r, uint32_t flags) { of(r).presets.back().flags = flags; },
        [](const clap_preset_discovery_metadata_receiver_t*, const char*) {},
        [](const clap_preset_discovery_metadata_receiver_t*, const char*) {},
        [](const clap_preset_discovery_metadata_receiver_t*, clap_timestamp_t, clap_timestamp_t) {},
        [](const clap_preset_discovery_metadata_receiver_t*, const char*) {},
        [](const clap_preset_discovery_metadata_receiver_t*, const char*, const char*) {}};
};

const clap_preset_discovery_factory_t& discovery() {
    return *static_cast<const clap_preset_discovery_factory_t*>(entry().get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
}

TEST(ClapPresets, TheFactoryProgramsAreIndexedAsPresetsInsideThePlugin) {
    ASSERT_NE(entry().get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID), nullptr);
    EXPECT_EQ(entry().get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT), &discovery());
    ASSERT_EQ(discovery().count(&discovery()), 1u);
    EXPECT_EQ(discovery().get_descriptor(&discovery(), 1), nullptr);
    const clap_preset_discovery_provider_descriptor_t* d = discovery().get_descriptor(&discovery(), 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->clap_version.major, 1u);

    Indexer indexer;
    EXPECT_EQ(discovery().create(&discovery(), &indexer.indexer, "com.zem.other"), nullptr);
    const clap_preset_discovery_provider_t* provider = discovery().create(&discovery(), &indexer.indexer, d->id);
    ASSERT_NE(provider, nullptr);
    EXPECT_TRUE(indexer.locations.empty()) << "nothing declared before init";
    ASSERT_TRUE(provider->init(provider));
    ASSERT_EQ(indexer.locations.size(), 1u);
    EXPECT_EQ(indexer.locations[0].kind, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN);
    EXPECT_EQ(indexer.locations[0].location, nullptr);
    EXPECT_EQ(indexer.locations[0].flags, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);

    ASSERT_TRUE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, &indexer.receiver));
    ASSERT_EQ(indexer.presets.size(), 10u);
    for (std::size_t p = 0; p < 10; ++p) {
        EXPECT_EQ(indexer.presets[p].name, kProgramNames[p]);
        EXPECT_EQ(indexer.presets[p].key, std::to_string(p));
        EXPECT_EQ(indexer.presets[p].abi, "clap");
        EXPECT_EQ(indexer.presets[p].id, "com.zem.varnox");
        EXPECT_EQ(indexer.presets[p].flags, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
    }
    // A receiver that has had enough is told nothing more.
    indexer.presets.clear();
    indexer.stopAfter = 3;
    provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, &indexer.receiver);
    EXPECT_EQ(indexer.presets.size(), 3u);
    // The plug-in holds no preset files.
    EXPECT_FALSE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp/x.preset",
                                        &indexer.receiver));
    provider->destroy(provider);
}

TEST_F(ClapTest, PresetLoadTakesTheProgramByItsKey) {
    Plugin plugin(host);
    const auto* load = plugin.extension<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD);
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(plugin.extension<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD_COMPAT), load);

    ASSERT_TRUE(load->from_location(plugin.get(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "3"));
    // "Dense": 64, 17, 76, 128, 0, 1, program 3.
    const std::vector<double> dense = {64, 17, 76, 128, 0, 1, 0, 3};
    std::vector<double> values;
    for (clap_id id = 0; id < 8; ++id) values.push_back(plugin.value(id));
    EXPECT_EQ(values, dense);
    EXPECT_EQ(host.presetsLoaded, std::vector<std::string>{"3"});
    EXPECT_EQ(host.rescans, 1);

    // Loaded again over an edit, the preset's value comes back.
    plugin.flushValues({{3, 5.0}});
    ASSERT_TRUE(load->from_location(plugin.get(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "3"));
    EXPECT_EQ(plugin.value(3), 128.0);

    const int rescans = host.rescans;
    for (const char* key : {"10", "-1", "3x", " 3", "", "Dense"}) {
        EXPECT_FALSE(load->from_location(plugin.get(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, key)) << key;
    }
    EXPECT_FALSE(load->from_location(plugin.get(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, nullptr));
    EXPECT_FALSE(load->from_location(plugin.get(), CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp/3", "3"));
    EXPECT_FALSE(load->from_location(plugin.get(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, "/tmp", "3"));
    EXPECT_EQ(host.presetErrors.size(), 9u);
    EXPECT_EQ(host.rescans, rescans);
    EXPECT_EQ(plugin.value(7), 3.0);
    EXPECT_EQ(plugin.value(3), 128.0);
}

}  // namespace
