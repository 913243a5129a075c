// What the build puts beside the module for hosts' browsers: the factory
// programs as preset files, read here as a host reads them (header, chunk
// list at the end, the component state chunk handed to setState), and the
// snapshot picture named by the class id.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/vst3/vst3_host.h"

namespace {

using namespace vst3host;

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

uint64_t little(const std::vector<uint8_t>& bytes, std::size_t at, int size) {
    uint64_t value = 0;
    for (int i = 0; i < size; ++i) value |= static_cast<uint64_t>(bytes[at + i]) << (8 * i);
    return value;
}

std::string classIdOfBundle() {
    PClassInfo info{};
    bundle().factory()->getClassInfo(0, &info);
    std::string text;
    char digits[3];
    for (char byte : info.cid) {
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(byte));
        text += digits;
    }
    return text;
}

struct PresetFile {
    std::string classId;
    std::map<std::string, std::vector<uint8_t>> chunks;
};

// The layout as the SDK's reader takes it, checked strictly: header, chunks
// between the header and the list, the list last and running to the end.
std::optional<PresetFile> readPreset(const std::vector<uint8_t>& bytes, std::string& why) {
    constexpr std::size_t kHeader = 48;
    if (bytes.size() < kHeader + 8 || std::string(bytes.begin(), bytes.begin() + 4) != "VST3") {
        why = "no header";
        return std::nullopt;
    }
    if (little(bytes, 4, 4) != 1) {
        why = "version";
        return std::nullopt;
    }
    PresetFile preset;
    preset.classId.assign(bytes.begin() + 8, bytes.begin() + 40);
    const uint64_t listAt = little(bytes, 40, 8);
    if (listAt < kHeader || listAt + 8 > bytes.size() ||
        std::string(bytes.begin() + static_cast<long>(listAt), bytes.begin() + static_cast<long>(listAt) + 4) != "List") {
        why = "no chunk list";
        return std::nullopt;
    }
    const uint64_t count = little(bytes, listAt + 4, 4);
    if (listAt + 8 + count * 20 != bytes.size()) {
        why = "the list does not end the file";
        return std::nullopt;
    }
    for (uint64_t e = 0; e < count; ++e) {
        const std::size_t entry = listAt + 8 + e * 20;
        const std::string id(bytes.begin() + static_cast<long>(entry), bytes.begin() + static_cast<long>(entry) + 4);
        const uint64_t at = little(bytes, entry + 4, 8), size = little(bytes, entry + 12, 8);
        if (at < kHeader || at + size > listAt || preset.chunks.count(id)) {
            why = "chunk " + id + " out of place";
            return std::nullopt;
        }
        preset.chunks[id].assign(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + size));
    }
    return preset;
}

std::string programName(Plugin& plugin, int32 program) {
    ProgramListInfo list{};
    plugin.units->getProgramListInfo(0, list);
    String128 name{};
    plugin.units->getProgramName(list.id, program, name);
    return toAscii(name);
}

std::vector<double> values(Plugin& plugin) {
    std::vector<double> out;
    for (ParamID id = 0; id < 8; ++id) out.push_back(plugin.controller->getParamNormalized(id));
    return out;
}

#ifdef VARNOX_VST3_PRESETS
// Every program as a file named as the program list shows it, holding
// exactly what getState gives once that program is selected, and its name.
TEST(Vst3Presets, EachProgramAsAFileOfTheSdkLayout) {
    const std::string classId = classIdOfBundle();
    for (int32 p = 0; p < 10; ++p) {
        Plugin selected(bundle().factory());
        selected.controller->setParamNormalized(7, p / 9.0);
        const std::string name = programName(selected, p);
        const std::string path = std::string(VARNOX_VST3_PRESETS) + "/" + name + ".vstpreset";
        std::string why;
        const std::optional<PresetFile> preset = readPreset(fileBytes(path), why);
        ASSERT_TRUE(preset) << path << ": " << why;
        EXPECT_EQ(preset->classId, classId) << name;
        ASSERT_EQ(preset->chunks.count("Comp"), 1u) << name;
        EXPECT_EQ(preset->chunks.at("Comp"), selected.state()) << name;
        ASSERT_EQ(preset->chunks.count("Info"), 1u) << name;
        const std::string info(preset->chunks.at("Info").begin(), preset->chunks.at("Info").end());
        EXPECT_NE(info.find("<Attribute id=\"Name\" value=\"" + name + "\""), std::string::npos) << info;
        EXPECT_NE(info.find("<Attribute id=\"PlugInName\" value=\"ORv Varnox\""), std::string::npos) << info;
        EXPECT_NE(info.find("<Attribute id=\"MediaType\" value=\"VstPreset\""), std::string::npos) << info;
    }
}

// A host loading a preset hands the component state to setState and to
// setComponentState: whatever the effect held before, it then holds the
// program's values, as selecting the program gives them, bypass off.
TEST(Vst3Presets, LoadingOneGivesWhatSelectingItsProgramGives) {
    for (int32 p = 0; p < 10; ++p) {
        Plugin reference(bundle().factory());
        reference.controller->setParamNormalized(7, p / 9.0);
        const std::string path = std::string(VARNOX_VST3_PRESETS) + "/" + programName(reference, p) + ".vstpreset";
        std::string why;
        const std::optional<PresetFile> preset = readPreset(fileBytes(path), why);
        ASSERT_TRUE(preset) << why;

        Plugin loaded(bundle().factory());
        // Somewhere else first: the same program with edits, or another, bypassed.
        loaded.controller->setParamNormalized(7, (p % 2 ? p : 9 - p) / 9.0);
        loaded.controller->setParamNormalized(3, 0.123);
        loaded.controller->setParamNormalized(6, 1.0);
        MemoryStream forComponent(preset->chunks.at("Comp")), forController(preset->chunks.at("Comp"));
        ASSERT_EQ(loaded.component->setState(&forComponent), kResultOk) << p;
        ASSERT_EQ(loaded.controller->setComponentState(&forController), kResultOk) << p;
        EXPECT_EQ(values(loaded), values(reference)) << "program " << p;
    }
}
#endif

#ifdef VARNOX_VST3_SNAPSHOTS
// Hosts find the pictures by the class id: PNGs of the 500 x 140 editor, at
// 1x and, for high-density screens, at 2x.
TEST(Vst3Bundle, SnapshotsNamedByTheClassId) {
    for (const auto& [suffix, width, height] : {std::tuple<const char*, uint32_t, uint32_t>{"", 500, 140},
                                                {"_2.0x", 1000, 280}}) {
        const std::string path = std::string(VARNOX_VST3_BUNDLE) + "/Contents/Resources/Snapshots/" +
                                 classIdOfBundle() + "_snapshot" + suffix + ".png";
        const std::vector<uint8_t> png = fileBytes(path);
        ASSERT_GE(png.size(), 24u) << path;
        const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        EXPECT_TRUE(std::equal(signature, signature + 8, png.begin())) << path;
        const auto big = [&](std::size_t at) {
            return (uint32_t{png[at]} << 24) | (uint32_t{png[at + 1]} << 16) | (uint32_t{png[at + 2]} << 8) | png[at + 3];
        };
        EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR") << path;
        EXPECT_EQ(big(16), width) << path;
        EXPECT_EQ(big(20), height) << path;
    }
}
#endif

}  // namespace
