// Parameters as a VST 3 host sees them, against the VST 2 face of the same
// effect: names, units, steps, defaults, the text for any value, text entry,
// plain values, programs.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/vst3/vst3_host.h"

namespace {

using namespace vst3host;

struct ParameterCase {
    ParamID id;
    const char* title;
    const char* units;
    int32 steps;
    double defaultValue;
    int32 flags;
};

constexpr int32 kAutomate = ParameterInfo::kCanAutomate;
const ParameterCase kParameters[] = {
    {0, "Ingain", "db", 128, 0.5, kAutomate},
    {1, "Attack", "%", 128, 0.5, kAutomate},
    {2, "Release", "%", 128, 0.5, kAutomate},
    {3, "Drive", "%", 128, 0.0, kAutomate},
    {4, "Times Two", "", 1, 0.0, kAutomate},
    {5, "Boost", "", 1, 0.0, kAutomate},
    {6, "Bypass", "", 1, 0.0, kAutomate | ParameterInfo::kIsBypass},
    {7, "Program", "", 9, 0.0, kAutomate | ParameterInfo::kIsList | ParameterInfo::kIsProgramChange},
    {8, "Oversampling", "", 4, 0.0, ParameterInfo::kIsList},
};

TEST(Vst3Parameters, InfoForEachParameterInVst2Order) {
    Plugin plugin(bundle().factory());
    ASSERT_EQ(plugin.controller->getParameterCount(), 9);
    for (int32 i = 0; i < 9; ++i) {
        const ParameterCase& expected = kParameters[i];
        ParameterInfo info{};
        ASSERT_EQ(plugin.controller->getParameterInfo(i, info), kResultOk);
        EXPECT_EQ(info.id, expected.id);
        EXPECT_EQ(toAscii(info.title), expected.title) << i;
        EXPECT_EQ(toAscii(info.shortTitle), expected.title) << i;
        EXPECT_EQ(toAscii(info.units), expected.units) << i;
        EXPECT_EQ(info.stepCount, expected.steps) << i;
        EXPECT_EQ(info.defaultNormalizedValue, expected.defaultValue) << i;
        EXPECT_EQ(info.flags, expected.flags) << i;
        EXPECT_EQ(info.unitId, kRootUnitId);
        EXPECT_EQ(plugin.controller->getParamNormalized(info.id), expected.defaultValue) << i;
    }
    ParameterInfo info{};
    EXPECT_EQ(plugin.controller->getParameterInfo(9, info), kInvalidArgument);
    EXPECT_EQ(plugin.controller->getParameterInfo(-1, info), kInvalidArgument);

    // Titles are the VST 2 names without their padding, units the VST 2 labels.
    Vst2Plugin vst2;
    for (int32_t i = 0; i < 6; ++i) {
        const std::string name = vst2.text(effGetParamName, i);
        EXPECT_EQ(name.substr(0, name.find_last_not_of(' ') + 1), kParameters[i].title);
        EXPECT_EQ(vst2.text(effGetParamLabel, i), kParameters[i].units);
    }
}

std::string vst3Text(IEditController* controller, ParamID id, double value) {
    String128 text{};
    EXPECT_EQ(controller->getParamStringByValue(id, value, text), kResultOk);
    return toAscii(text);
}

// The texts come from the effect's own code, for every step and for values
// between steps, byte for byte what the VST 2 face shows after the same set.
TEST(Vst3Parameters, TextForAnyValueIsTheVst2Text) {
    Plugin plugin(bundle().factory());
    Vst2Plugin vst2;
    for (int32_t id = 0; id < 6; ++id) {
        const int32_t steps = kParameters[id].steps;
        std::vector<double> values;
        for (int32_t k = 0; k <= steps; ++k) values.push_back(static_cast<double>(k) / steps);
        for (double v : {0.3, 0.0001, 0.99, 0.5000001, 0.999999}) values.push_back(v);
        for (double v : values) {
            vst2.set(id, static_cast<float>(v));
            const std::string expected = vst2.text(effGetParamDisplay, id);
            const std::string got = vst3Text(plugin.controller, static_cast<ParamID>(id), v);
            EXPECT_EQ(got, expected) << "parameter " << id << " at " << v;
        }
    }
    EXPECT_EQ(vst3Text(plugin.controller, 6, 0.0), "Off");
    EXPECT_EQ(vst3Text(plugin.controller, 6, 1.0), "On");
    // Program names as VST 3 lists show them: single blanks (the VST 2 face keeps its own).
    EXPECT_EQ(vst3Text(plugin.controller, 7, 4.0 / 9.0), "Duck Compressed");
    EXPECT_EQ(vst3Text(plugin.controller, 7, 8.0 / 9.0), "Raw Power");
    EXPECT_EQ(vst3Text(plugin.controller, 7, 1.0), "Loud as can be");
    EXPECT_EQ(vst3Text(plugin.controller, 8, 0.0), "Off");
    EXPECT_EQ(vst3Text(plugin.controller, 8, 0.75), "8x");
    EXPECT_EQ(vst3Text(plugin.controller, 8, 1.0), "16x");
    String128 text{};
    EXPECT_EQ(plugin.controller->getParamStringByValue(9, 0.0, text), kInvalidArgument);

    // Asking for texts leaves the live effect as it was.
    for (int32_t id = 0; id < 6; ++id) EXPECT_EQ(plugin.controller->getParamNormalized(id), kParameters[id].defaultValue);
}

double parsed(IEditController* controller, ParamID id, const std::string& text, tresult expected = kResultOk) {
    std::u16string typed = toUtf16(text);
    double value = -1.0;
    EXPECT_EQ(controller->getParamValueByString(id, typed.data(), value), expected) << "\"" << text << "\"";
    return value;
}

TEST(Vst3Parameters, TypedTextsBecomeTheStepShowingThem) {
    Plugin plugin(bundle().factory());
    // Every step's own text reads back as a step showing that text.
    for (ParamID id = 0; id < 6; ++id) {
        const int32 steps = kParameters[id].steps;
        for (int32 k = 0; k <= steps; ++k) {
            const double value = static_cast<double>(k) / steps;
            const std::string text = vst3Text(plugin.controller, id, value);
            const double back = parsed(plugin.controller, id, text);
            EXPECT_EQ(vst3Text(plugin.controller, id, back), text) << id << " step " << k;
            EXPECT_EQ(back * steps, std::floor(back * steps)) << "not a step";
        }
    }

    struct Case {
        ParamID id;
        const char* text;
        double expected;
    };
    const Case cases[] = {
        {0, "0", 64.0 / 128}, {0, "0 db", 64.0 / 128}, {0, " -16 dB ", 0.0}, {0, "+16", 1.0},
        {0, "99", 1.0},       {1, "50", 0.5},          {1, "50 %", 0.5},     {3, "100%", 1.0},
        {3, "0.78", 1.0 / 128}, {3, "-5", 0.0},        {4, "On", 1.0},       {4, "off", 0.0},
        {5, "1", 1.0},        {6, "ON", 1.0},          {6, "Off", 0.0},      {7, "Dense", 3.0 / 9},
        {7, "raw   power", 8.0 / 9}, {7, "Raw Power", 8.0 / 9}, {7, " tightly harder ", 6.0 / 9},
        {7, "Duck  Compressed", 4.0 / 9},
    };
    for (const Case& c : cases) EXPECT_EQ(parsed(plugin.controller, c.id, c.text), c.expected) << c.text;

    for (const auto& [id, text] : std::vector<std::pair<ParamID, std::string>>{
              {0, ""}, {0, "loud"}, {0, "6 Hz"}, {1, "50 db"}, {4, "maybe"}, {7, "Nothing"}, {7, "RawPower"},
             {7, ""}, {1, "nan"}}) {
        parsed(plugin.controller, id, text, kResultFalse);
    }
    parsed(plugin.controller, 9, "1", kInvalidArgument);
}

TEST(Vst3Parameters, PlainValuesAreTheEffectsSteps) {
    Plugin plugin(bundle().factory());
    for (ParamID id = 0; id < 8; ++id) {
        const int32 steps = kParameters[id].steps;
        for (int32 k = 0; k <= steps; ++k) {
            const double normalized = static_cast<double>(k) / steps;
            EXPECT_EQ(plugin.controller->normalizedParamToPlain(id, normalized), k) << id;
            EXPECT_EQ(plugin.controller->plainParamToNormalized(id, k), normalized) << id;
        }
    }
    // Between steps the effect's own quantisation: down to the step below.
    EXPECT_EQ(plugin.controller->normalizedParamToPlain(1, 0.3), 38.0);
    EXPECT_EQ(plugin.controller->normalizedParamToPlain(4, 0.99), 0.0);
    EXPECT_EQ(plugin.controller->plainParamToNormalized(0, 500.0), 1.0);
    EXPECT_EQ(plugin.controller->plainParamToNormalized(0, -3.0), 0.0);
}

TEST(Vst3Parameters, ProgramListIsTheFactoryPrograms) {
    Plugin plugin(bundle().factory());
    Vst2Plugin vst2;
    ASSERT_EQ(plugin.units->getUnitCount(), 1);
    UnitInfo unit{};
    ASSERT_EQ(plugin.units->getUnitInfo(0, unit), kResultOk);
    EXPECT_EQ(unit.id, kRootUnitId);
    EXPECT_EQ(unit.parentUnitId, kNoParentUnitId);
    ProgramListInfo list{};
    ASSERT_EQ(plugin.units->getProgramListInfo(0, list), kResultOk);
    EXPECT_EQ(list.id, unit.programListId);
    ASSERT_EQ(list.programCount, 10);
    // The VST 2 face's names, each run of blanks as one.
    for (int32 p = 0; p < 10; ++p) {
        char name[64] = {};
        vst2.dispatch(effGetProgramNameIndexed, p, 0, name);
        std::string single;
        for (const char* c = name; *c; ++c) {
            if (*c != ' ' || (!single.empty() && single.back() != ' ')) single += *c;
        }
        single.erase(single.find_last_not_of(' ') + 1);
        String128 got{};
        ASSERT_EQ(plugin.units->getProgramName(list.id, p, got), kResultOk);
        EXPECT_EQ(toAscii(got), single);
    }
    String128 duck{};
    plugin.units->getProgramName(list.id, 4, duck);
    EXPECT_EQ(toAscii(duck), "Duck Compressed");
    char vst2Duck[64] = {};
    vst2.dispatch(effGetProgramNameIndexed, 4, 0, vst2Duck);
    EXPECT_EQ(std::string(vst2Duck), "Duck  Compressed   ");  // padded, as it always was
    String128 got{};
    EXPECT_EQ(plugin.units->getProgramName(list.id, 10, got), kInvalidArgument);
    EXPECT_EQ(plugin.units->getProgramName(list.id + 1, 0, got), kInvalidArgument);
}

// A program chosen through the program parameter loads what effSetProgram
// loads; the host hears that the values changed and gets no edits back.
TEST(Vst3Parameters, ProgramParameterSelectsAsEffSetProgramDoes) {
    Plugin plugin(bundle().factory());
    EditHandler handler;
    plugin.controller->setComponentHandler(&handler);
    Vst2Plugin vst2;
    for (int32 p : {5, 2, 9, 0}) {
        handler.calls.clear();
        ASSERT_EQ(plugin.controller->setParamNormalized(7, p / 9.0), kResultOk);
        vst2.dispatch(effSetProgram, 0, p);
        for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(plugin.controller->getParamNormalized(i), vst2.get(i)) << p;
        EXPECT_EQ(plugin.controller->getParamNormalized(7), p / 9.0);
        ASSERT_EQ(handler.calls.size(), 1u);
        EXPECT_EQ(handler.calls[0], (EditHandler::Call{'r', 0, kParamValuesChanged}));
    }
    // The current program again loads nothing and tells nothing.
    handler.calls.clear();
    plugin.controller->setParamNormalized(7, 0.0);
    EXPECT_TRUE(handler.calls.empty());

    // Values set by the host are no edits either.
    plugin.controller->setParamNormalized(3, 0.25);
    plugin.controller->setParamNormalized(6, 1.0);
    EXPECT_TRUE(handler.calls.empty());
    EXPECT_EQ(plugin.controller->getParamNormalized(3), 0.25);
    EXPECT_EQ(plugin.controller->getParamNormalized(6), 1.0);
    plugin.controller->setComponentHandler(nullptr);
    EXPECT_EQ(handler.references, 0);
}

}  // namespace
