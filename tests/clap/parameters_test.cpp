// The parameter list: the same ids as the VST 3 face, each knob stepped in
// its exact raw steps; value to text and back as the faces' recorded texts;
// values set through flush while inactive; hostile values held to range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <regex>
#include <string>

#include "tests/clap/clap_host.h"

namespace {

using namespace claphost;

struct ExpectedParam {
    clap_id id;
    const char* name;
    double steps;
    double defaultValue;
    uint32_t flags;
};

constexpr uint32_t kKnob = CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED;
constexpr uint32_t kList = kKnob | CLAP_PARAM_IS_ENUM;

const ExpectedParam kExpected[] = {
    {0, "Ingain", 128, 64, kKnob},  {1, "Attack", 128, 64, kKnob},
    {2, "Release", 128, 64, kKnob}, {3, "Drive", 128, 0, kKnob},
    {4, "Times Two", 1, 0, kList},  {5, "Boost", 1, 0, kList},
    {6, "Bypass", 1, 0, kKnob | CLAP_PARAM_IS_BYPASS}, {7, "Program", 9, 0, kList},
    {8, "Oversampling", 4, 0, CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM},
};

TEST_F(ClapTest, ParameterList) {
    Plugin plugin(host);
    const clap_plugin_params_t& params = plugin.params();
    ASSERT_EQ(params.count(plugin.get()), std::size(kExpected));
    for (uint32_t i = 0; i < std::size(kExpected); ++i) {
        const ExpectedParam& e = kExpected[i];
        clap_param_info_t info;
        std::memset(&info, 0xcd, sizeof info);
        ASSERT_TRUE(params.get_info(plugin.get(), i, &info));
        EXPECT_EQ(info.id, e.id);
        EXPECT_STREQ(info.name, e.name);
        EXPECT_STREQ(info.module, "");
        EXPECT_EQ(info.min_value, 0.0);
        EXPECT_EQ(info.max_value, e.steps) << e.name;
        EXPECT_EQ(info.default_value, e.defaultValue) << e.name;
        EXPECT_EQ(info.flags, e.flags) << e.name;
        EXPECT_EQ(plugin.value(e.id), e.defaultValue) << e.name;
    }
    clap_param_info_t info;
    EXPECT_FALSE(params.get_info(plugin.get(), std::size(kExpected), &info));
    double v = 0;
    EXPECT_FALSE(params.get_value(plugin.get(), 9, &v));
}

// Every step's text as the faces showed it (tests/data/parameter_texts.txt),
// with the unit after it; every recorded typed text read back to its step.
TEST_F(ClapTest, ValueTextsAndTypedValuesFollowTheRecordedTexts) {
    Plugin plugin(host);
    const clap_plugin_params_t& params = plugin.params();
    std::ifstream file(VARNOX_TEST_DATA_DIR "/parameter_texts.txt");
    ASSERT_TRUE(file) << "parameter_texts.txt";
    const std::regex info(R"re(^info (\d+) title="[^"]*" units="([^"]*)" steps=(\d+) .*)re");
    const std::regex text(R"re(^text (\d+) (\d+) "(.*)"$)re");
    const std::regex parse(R"re(^parse (\d+) "(.*)" (\S+)$)re");
    std::string units[16], line;
    double steps[16] = {};
    int texts = 0, parses = 0;
    while (std::getline(file, line)) {
        std::smatch m;
        if (std::regex_match(line, m, info)) {
            const int id = std::stoi(m[1]);
            units[id] = m[2];
            steps[id] = std::stod(m[3]);
        } else if (std::regex_match(line, m, text)) {
            const auto id = static_cast<clap_id>(std::stoi(m[1]));
            const std::string expected = units[id].empty() ? m[3].str() : m[3].str() + " " + units[id];
            char out[CLAP_NAME_SIZE];
            ASSERT_TRUE(params.value_to_text(plugin.get(), id, std::stod(m[2]), out, sizeof out));
            EXPECT_EQ(std::string(out), expected) << line;
            ++texts;
        } else if (std::regex_match(line, m, parse)) {
            const auto id = static_cast<clap_id>(std::stoi(m[1]));
            double value = -1;
            const bool read = params.text_to_value(plugin.get(), id, m[2].str().c_str(), &value);
            if (m[3] == "refused") {
                EXPECT_FALSE(read) << line;
            } else {
                ASSERT_TRUE(read) << line;
                EXPECT_EQ(value, std::round(std::stod(m[3]) * steps[id])) << line;
            }
            ++parses;
        }
    }
    EXPECT_GT(texts, 500);
    EXPECT_GT(parses, 20);
}

TEST_F(ClapTest, TextBuffersAndUnknownIds) {
    Plugin plugin(host);
    const clap_plugin_params_t& params = plugin.params();
    char small[4];
    std::memset(small, 'x', sizeof small);
    ASSERT_TRUE(params.value_to_text(plugin.get(), 3, 64.0, small, sizeof small));
    EXPECT_STREQ(small, "50.");
    char one[1] = {'x'};
    EXPECT_TRUE(params.value_to_text(plugin.get(), 3, 64.0, one, 1));
    EXPECT_EQ(one[0], '\0');
    char out[64];
    EXPECT_FALSE(params.value_to_text(plugin.get(), 99, 0.0, out, sizeof out));
    EXPECT_FALSE(params.value_to_text(plugin.get(), 3, 0.0, out, 0));
    double value = 0;
    EXPECT_FALSE(params.text_to_value(plugin.get(), 99, "1", &value));
    EXPECT_FALSE(params.text_to_value(plugin.get(), 3, "loud", &value));
    EXPECT_TRUE(params.text_to_value(plugin.get(), 7, "dense", &value));
    EXPECT_EQ(value, 3.0);
}

// While inactive, flush sets values at once; a value between steps takes
// the nearest, one outside the range its end; a program change reports the
// six values it set.
TEST_F(ClapTest, FlushWhileInactive) {
    Plugin plugin(host);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    plugin.flushValues({{0, 99.0}, {1, 12.4}, {2, 12.6}, {3, 1000.0}, {4, 1.0}, {5, -3.0}, {6, 1.0}, {42, 5.0}});
    EXPECT_EQ(plugin.value(0), 99.0);
    EXPECT_EQ(plugin.value(1), 12.0);
    EXPECT_EQ(plugin.value(2), 13.0);
    EXPECT_EQ(plugin.value(3), 128.0);
    EXPECT_EQ(plugin.value(4), 1.0);
    EXPECT_EQ(plugin.value(5), 0.0);
    EXPECT_EQ(plugin.value(6), 1.0);
    plugin.flushValues({{0, nan}, {6, 0.4}});
    EXPECT_EQ(plugin.value(0), 0.0);
    EXPECT_EQ(plugin.value(6), 0.0);

    OutputEvents out;
    plugin.flushValues({{7, 3.0}}, &out);
    EXPECT_EQ(plugin.value(7), 3.0);
    // "Dense": 64, 17, 76, 128, 0, 1.
    const std::vector<Event> dense = {paramValue(0, 64), paramValue(1, 17), paramValue(2, 76),
                                      paramValue(3, 128), paramValue(4, 0), paramValue(5, 1)};
    EXPECT_EQ(out.events, dense);
    for (const Event& e : dense) EXPECT_EQ(plugin.value(e.id), e.value);

    // The same program again changes nothing and says nothing.
    out.events.clear();
    plugin.flushValues({{3, 5.0}, {7, 3.0}}, &out);
    EXPECT_TRUE(out.events.empty());
    EXPECT_EQ(plugin.value(3), 5.0);
}

}  // namespace
