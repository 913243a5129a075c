// The parameter table against what the faces showed and read before it
// existed (tests/data/parameter_texts.txt, recorded from the VST 2 and VST 3
// faces as they were): every step's text, every typed value, and what a host
// is told of each parameter. The VST 2 face's own display is checked too.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <string>

#include "core/value_text.h"
#include "tests/support/fake_host.h"
#include "tests/support/instance.h"

namespace {

struct Golden {
    struct Info {
        uint32_t id;
        std::string title, units;
        int32_t steps;
        double defaultValue;
    };
    struct Text {
        uint32_t id;
        int32_t raw;
        std::string text;
    };
    struct Parse {
        uint32_t id;
        std::string typed;
        bool refused;
        double normalized;
    };
    std::vector<Info> infos;
    std::vector<Text> texts;
    std::vector<Parse> parses;
};

const Golden& golden() {
    static const Golden data = [] {
        Golden g;
        std::ifstream file(VARNOX_TEST_DATA_DIR "/parameter_texts.txt");
        EXPECT_TRUE(file) << "no parameter_texts.txt";
        const std::regex info(R"re(info (\d+) title="(.*)" units="(.*)" steps=(\d+) default=(\S+) flags=\d+)re");
        const std::regex text(R"re(text (\d+) (\d+) "(.*)")re");
        const std::regex parse(R"re(parse (\d+) "(.*)" (\S+))re");
        std::smatch m;
        for (std::string line; std::getline(file, line);) {
            if (std::regex_match(line, m, info)) {
                g.infos.push_back({static_cast<uint32_t>(std::stoul(m[1])), m[2], m[3], std::stoi(m[4]), std::stod(m[5])});
            } else if (std::regex_match(line, m, text)) {
                g.texts.push_back({static_cast<uint32_t>(std::stoul(m[1])), std::stoi(m[2]), m[3]});
            } else if (std::regex_match(line, m, parse)) {
                const bool refused = m[3] == "refused";
                g.parses.push_back({static_cast<uint32_t>(std::stoul(m[1])), m[2], refused, refused ? 0.0 : std::stod(m[3])});
            }
        }
        return g;
    }();
    return data;
}

TEST(ParameterTable, DescribesEachParameterAsHostsWereTold) {
    // Every row but Oversampling, which came after the recording.
    ASSERT_EQ(golden().infos.size(), kParameters.size() + kFaceParameters.size() - 1);
    for (const Golden::Info& info : golden().infos) {
        const ParamRow* row = parameterWithId(info.id);
        ASSERT_NE(row, nullptr) << info.id;
        EXPECT_EQ(row->name, info.title);
        EXPECT_EQ(row->unit, info.units);
        EXPECT_EQ(row->steps, info.steps);
        EXPECT_EQ(static_cast<double>(row->defaultRaw) / row->steps, info.defaultValue) << info.title;
    }
}

TEST(ParameterTable, EveryStepReadsAsBefore) {
    ASSERT_EQ(golden().texts.size(), 4u * 129 + 2 * 2 + 2 + 10);
    for (const Golden::Text& t : golden().texts) {
        const ParamRow& row = *parameterWithId(t.id);
        EXPECT_EQ(valueText(row, static_cast<float>(t.raw)).c_str(), t.text) << row.name << " at " << t.raw;
    }
}

TEST(ParameterTable, TheVst2FaceShowsTheSameTexts) {
    FakeHost host;
    Instance instance(host);
    for (const Golden::Text& t : golden().texts) {
        if (!isParameter(static_cast<int32_t>(t.id))) continue;
        const auto index = static_cast<int32_t>(t.id);
        instance.set(index, static_cast<float>(t.raw) / kRawMaximum[index]);
        EXPECT_EQ(instance.text(effGetParamDisplay, index), t.text) << kParameters[index].name << " at " << t.raw;
    }
}

TEST(ParameterTable, TypedValuesReadAsBefore) {
    ASSERT_GT(golden().parses.size(), 1000u);
    for (const Golden::Parse& p : golden().parses) {
        const ParamRow& row = *parameterWithId(p.id);
        const std::optional<float> raw = rawFromText(row, p.typed);
        if (p.refused) {
            EXPECT_FALSE(raw.has_value()) << row.name << " \"" << p.typed << "\"";
        } else {
            ASSERT_TRUE(raw.has_value()) << row.name << " \"" << p.typed << "\"";
            EXPECT_EQ(static_cast<double>(*raw) / row.steps, p.normalized) << row.name << " \"" << p.typed << "\"";
        }
    }
}

// A host's value between steps, or outside 0..1: the effect's parameters take
// the step below (a switch is on only at 1), the face's lists their share.
TEST(ParameterTable, HostValuesTakeTheirStep) {
    const ParamRow& drive = kParameters[kDrive];
    EXPECT_EQ(rawFromNormalized(drive, 0.5), 64.0f);
    EXPECT_EQ(rawFromNormalized(drive, 0.3), 38.0f);
    EXPECT_EQ(rawFromNormalized(drive, -3.0), 0.0f);
    EXPECT_EQ(rawFromNormalized(drive, 7.0), 128.0f);
    EXPECT_EQ(rawFromNormalized(drive, std::nan("")), 0.0f);
    EXPECT_EQ(rawFromNormalized(kParameters[kBoost], 0.99), 0.0f);
    EXPECT_EQ(rawFromNormalized(kParameters[kBoost], 1.0), 1.0f);
    EXPECT_EQ(rawFromNormalized(kBypassRow, 0.5), 1.0f);
    EXPECT_EQ(rawFromNormalized(kBypassRow, 0.49), 0.0f);
    EXPECT_EQ(rawFromNormalized(kProgramRow, 0.5), 5.0f);
    EXPECT_EQ(rawFromNormalized(kProgramRow, 0.95), 9.0f);
}

}  // namespace
