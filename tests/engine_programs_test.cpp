// The ten factory programs and the program requests.
#include <gtest/gtest.h>

#include <cstring>

#include "editor/skin_editor.h"
#include "tests/support/instance.h"
#include "tests/support/reference_model.h"

namespace {

const char* const kNames[10] = {
    "Default            ", "Warming            ", "Raised             ", "Dense              ",
    "Duck  Compressed   ", "Rough Compressed   ", "Tightly  Harder    ", "Clean Power        ",
    "Raw   Power        ", "Loud as can be     ",
};

TEST(Programs, FactoryNamesAndValues) {
    FakeHost host;
    Instance fx(host);
    EXPECT_EQ(fx.dispatch(effGetProgram), 0);
    EXPECT_EQ(fx.text(effGetProgramName), kNames[0]);
    for (int p = 0; p < 10; ++p) {
        SCOPED_TRACE(p);
        char name[64] = {};
        EXPECT_EQ(fx.dispatch(effGetProgramNameIndexed, p, 0, name), 1);
        EXPECT_STREQ(name, kNames[p]);
        fx.dispatch(effSetProgram, 0, p);
        EXPECT_EQ(fx.dispatch(effGetProgram), p);
        EXPECT_EQ(fx.text(effGetProgramName), kNames[p]);
        const float maxima[6] = {128, 128, 128, 128, 1, 1};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(fx.get(i), model::kFactoryPrograms[p][i] / maxima[i]) << i;
    }
}

TEST(Programs, LoadReportsSixQuantisedValuesInOrder) {
    FakeHost host;
    Instance fx(host);
    fx.set(kIngain, 0.3f);  // between steps, stored in program 0
    fx.dispatch(effSetProgram, 0, 5);
    fx.dispatch(effSetProgram, 0, 0);
    host.clear();
    fx.dispatch(effSetProgram, 0, 0);
    const auto reports = host.callsOf(audioMasterAutomate);
    ASSERT_EQ(reports.size(), 6u);
    const float expected[6] = {38.0f / 128, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(reports[i].index, i);
        EXPECT_EQ(reports[i].opt, expected[i]);
    }
    EXPECT_EQ(fx.effect().program(0).value[kIngain], 38.0f / 128);
}

TEST(Programs, LoadShowsTheNewValuesAndClearsTheReadout) {
    FakeHost host;
    Instance fx(host);
    fx.dispatch(effSetProgram, 0, 5);
    EXPECT_EQ(fx.get(kIngain), 47.0f / 128);
    EXPECT_EQ(fx.text(effGetParamDisplay, kTimesTwo), "On");
    EXPECT_EQ(fx.text(effGetParamDisplay, kBoost), "Off");
    const DisplayState& display = fx.effect().display;
    EXPECT_EQ(display.readoutKind, -1);
    EXPECT_EQ(display.readoutText.str(), "");
    EXPECT_EQ(display.readoutHold, 20);
}

TEST(Programs, HostChangesStayWithTheProgram) {
    FakeHost host;
    Instance fx(host);
    fx.dispatch(effSetProgram, 0, 2);
    fx.set(kIngain, 0.3f);
    fx.dispatch(effSetProgram, 0, 3);
    fx.dispatch(effSetProgram, 0, 2);
    EXPECT_EQ(fx.get(kIngain), 0.296875f);
}

TEST(Programs, CopyRenameAndBounds) {
    FakeHost host;
    Instance fx(host);
    fx.dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(fx.dispatch(effCopyProgram, 7), 1);
    EXPECT_EQ(fx.dispatch(effGetProgram), 1);
    char name[64] = {};
    fx.dispatch(effGetProgramNameIndexed, 7, 0, name);
    EXPECT_STREQ(name, kNames[1]);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(fx.effect().program(7).value[i], fx.effect().program(1).value[i]);

    fx.dispatch(effSetProgram, 0, 3);
    char newName[] = "My Dense";
    fx.dispatch(effSetProgramName, 0, 0, newName);
    EXPECT_EQ(fx.text(effGetProgramName), "My Dense");
    fx.dispatch(effGetProgramNameIndexed, 3, 0, name);
    EXPECT_STREQ(name, "My Dense");

    for (int outside : {10, 11, -1, -100}) {
        char untouched[32] = "keep";
        EXPECT_EQ(fx.dispatch(effGetProgramNameIndexed, outside, 0, untouched), 0) << outside;
        EXPECT_STREQ(untouched, "keep");
        EXPECT_EQ(fx.dispatch(effCopyProgram, outside), 0) << outside;
        fx.dispatch(effSetProgram, 0, outside);
        EXPECT_EQ(fx.dispatch(effGetProgram), 3);
    }
    fx.dispatch(effSetProgram, 0, 9);
    EXPECT_EQ(fx.dispatch(effGetProgram), 9);
}

TEST(Programs, LongNamesAreCutToTheRecord) {
    FakeHost host;
    Instance fx(host);
    char longName[200];
    std::memset(longName, 'x', sizeof longName - 1);
    longName[sizeof longName - 1] = '\0';
    fx.dispatch(effSetProgramName, 0, 0, longName);
    EXPECT_EQ(fx.text(effGetProgramName), std::string(23, 'x'));
    // A 24-byte host buffer is never overrun.
    char exact[24 + 8];
    std::memset(exact, '#', sizeof exact);
    fx.dispatch(effGetProgramName, 0, 0, exact);
    EXPECT_EQ(exact[23], '\0');
    EXPECT_EQ(exact[24], '#');
    fx.dispatch(effSetProgramName, 0, 0, nullptr);
    fx.dispatch(effGetProgramName, 0, 0, nullptr);
}

}  // namespace
