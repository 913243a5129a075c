// Plug-in-to-host requests: opcode, argument placement, how the host's answer
// is read, and the default when the effect has no host callback.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/fake_host.h"
#include "tests/support/test_effect.h"

namespace {

int marker[4];
void* const kPtr = &marker[0];
void* const kPtr2 = &marker[1];
char* const kText = reinterpret_cast<char*>(&marker[2]);

struct Request {
    const char* name;
    std::function<intptr_t(BareEffect&)> call;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
    // {host answer, wrapper result} pairs
    std::vector<std::pair<intptr_t, intptr_t>> answers;
    intptr_t withoutHost;
};

intptr_t asInt(void* p) { return reinterpret_cast<intptr_t>(p); }

std::vector<Request> requests() {
    const intptr_t p = asInt(kPtr);
    return {
        {"hostVersion", [](BareEffect& e) { return e.hostVersion(); }, audioMasterVersion, 0, 0,
         nullptr, 0.0f, {{2400, 2400}, {0, 1}}, 1},
        {"hostCurrentId", [](BareEffect& e) { return e.hostCurrentId(); }, audioMasterCurrentId, 0,
         0, nullptr, 0.0f, {{77, 77}, {0, 0}}, 0},
        {"hostIdle", [](BareEffect& e) { return e.hostIdle(), 0; }, audioMasterIdle, 0, 0, nullptr,
         0.0f, {{5, 0}}, 0},
        {"inputPinConnected", [](BareEffect& e) { return e.inputPinConnected(1); },
         audioMasterPinConnected, 1, 0, nullptr, 0.0f, {{0, 1}, {1, 0}, {-1, 0}}, 1},
        {"outputPinConnected", [](BareEffect& e) { return e.outputPinConnected(0); },
         audioMasterPinConnected, 0, 1, nullptr, 0.0f, {{0, 1}, {1, 0}, {7, 0}}, 1},
        {"requestEvents", [](BareEffect& e) { return e.requestEvents(3), 0; }, audioMasterWantMidi,
         0, 3, nullptr, 0.0f, {{1, 0}}, 0},
        {"hostTimeInfo", [](BareEffect& e) { return asInt(e.hostTimeInfo(0x200)); },
         audioMasterGetTime, 0, 0x200, nullptr, 0.0f, {{p, p}, {0, 0}}, 0},
        {"hostTempoAt", [](BareEffect& e) { return e.hostTempoAt(4410); }, audioMasterTempoAt, 0,
         4410, nullptr, 0.0f, {{1200000, 1200000}}, 0},
        {"hostAutomatableCount", [](BareEffect& e) { return e.hostAutomatableCount(); },
         audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0.0f, {{8, 8}}, 0},
        {"hostParameterQuantization", [](BareEffect& e) { return e.hostParameterQuantization(); },
         audioMasterGetParameterQuantization, 0, 0, nullptr, 0.0f, {{128, 128}}, 0},
        {"hostIoChanged", [](BareEffect& e) { return intptr_t{e.hostIoChanged()}; },
         audioMasterIOChanged, 0, 0, nullptr, 0.0f, {{1, 1}, {2, 1}, {0, 0}}, 0},
        {"hostNeedIdle", [](BareEffect& e) { return intptr_t{e.hostNeedIdle()}; },
         audioMasterNeedIdle, 0, 0, nullptr, 0.0f, {{-1, 1}, {0, 0}}, 0},
        {"hostSizeWindow", [](BareEffect& e) { return intptr_t{e.hostSizeWindow(500, 140)}; },
         audioMasterSizeWindow, 500, 140, nullptr, 0.0f, {{1, 1}, {0, 0}}, 0},
        {"hostInputLatency", [](BareEffect& e) { return e.hostInputLatency(); },
         audioMasterGetInputLatency, 0, 0, nullptr, 0.0f, {{256, 256}}, 0},
        {"hostOutputLatency", [](BareEffect& e) { return e.hostOutputLatency(); },
         audioMasterGetOutputLatency, 0, 0, nullptr, 0.0f, {{512, 512}}, 0},
        // The pin number is not part of the request.
        {"hostPreviousEffect", [](BareEffect& e) { return asInt(e.hostPreviousEffect(3)); },
         audioMasterGetPreviousPlug, 0, 0, nullptr, 0.0f, {{p, p}}, 0},
        {"hostNextEffect", [](BareEffect& e) { return asInt(e.hostNextEffect(3)); },
         audioMasterGetNextPlug, 0, 0, nullptr, 0.0f, {{p, p}}, 0},
        {"hostReplaceOrAccumulate", [](BareEffect& e) { return e.hostReplaceOrAccumulate(); },
         audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0.0f, {{2, 2}}, 0},
        {"hostProcessLevel", [](BareEffect& e) { return e.hostProcessLevel(); },
         audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f, {{4, 4}}, 0},
        {"hostAutomationState", [](BareEffect& e) { return e.hostAutomationState(); },
         audioMasterGetAutomationState, 0, 0, nullptr, 0.0f, {{3, 3}}, 0},
        {"hostOfflineStart", [](BareEffect& e) { return intptr_t{e.hostOfflineStart(kPtr, 5, 2)}; },
         audioMasterOfflineStart, 2, 5, kPtr, 0.0f, {{1, 1}, {0, 0}}, 0},
        {"hostOfflineRead", [](BareEffect& e) { return intptr_t{e.hostOfflineRead(kPtr, 9, true)}; },
         audioMasterOfflineRead, 1, 9, kPtr, 0.0f, {{3, 1}, {0, 0}}, 0},
        {"hostOfflineRead, not source",
         [](BareEffect& e) { return intptr_t{e.hostOfflineRead(kPtr, 9, false)}; },
         audioMasterOfflineRead, 0, 9, kPtr, 0.0f, {{1, 1}}, 0},
        {"hostOfflineWrite", [](BareEffect& e) { return intptr_t{e.hostOfflineWrite(kPtr, 6)}; },
         audioMasterOfflineWrite, 0, 6, kPtr, 0.0f, {{1, 1}, {0, 0}}, 0},
        // Only whether there is a pass, not its number.
        {"hostOfflinePass", [](BareEffect& e) { return e.hostOfflinePass(); },
         audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0.0f, {{5, 1}, {0, 0}}, 0},
        {"hostOfflineMetaPass", [](BareEffect& e) { return e.hostOfflineMetaPass(); },
         audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0.0f, {{-3, 1}, {0, 0}}, 0},
        {"hostSetOutputRate", [](BareEffect& e) { return e.hostSetOutputRate(22050.0f), 0; },
         audioMasterSetOutputSampleRate, 0, 0, nullptr, 22050.0f, {{1, 0}}, 0},
        {"hostSpeakerArrangement",
         [](BareEffect& e) { return intptr_t{e.hostSpeakerArrangement(kPtr, kPtr2)}; },
         audioMasterGetSpeakerArrangement, 0, p, kPtr2, 0.0f, {{1, 1}, {0, 0}}, 0},
        {"hostVendorText", [](BareEffect& e) { return intptr_t{e.hostVendorText(kText)}; },
         audioMasterGetVendorString, 0, 0, kText, 0.0f, {{1, 1}, {0, 0}}, 0},
        {"hostProductText", [](BareEffect& e) { return intptr_t{e.hostProductText(kText)}; },
         audioMasterGetProductString, 0, 0, kText, 0.0f, {{1, 1}, {0, 0}}, 0},
        {"hostVendorVersion", [](BareEffect& e) { return e.hostVendorVersion(); },
         audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f, {{1300, 1300}}, 0},
        {"hostVendorCall", [](BareEffect& e) { return e.hostVendorCall(7, 8, kPtr, 0.5f); },
         audioMasterVendorSpecific, 7, 8, kPtr, 0.5f, {{-9, -9}}, 0},
        {"hostCapability", [](BareEffect& e) { return intptr_t{e.hostCapability(kText)}; },
         audioMasterCanDo, 0, 0, kText, 0.0f, {{1, 1}, {-1, 1}, {0, 0}}, 0},
        {"hostLanguage", [](BareEffect& e) { return e.hostLanguage(); }, audioMasterGetLanguage, 0,
         0, nullptr, 0.0f, {{2, 2}}, 0},
        {"hostOpenWindow", [](BareEffect& e) { return asInt(e.hostOpenWindow(kPtr)); },
         audioMasterOpenWindow, 0, 0, kPtr, 0.0f, {{asInt(kPtr2), asInt(kPtr2)}}, 0},
        {"hostCloseWindow", [](BareEffect& e) { return intptr_t{e.hostCloseWindow(kPtr)}; },
         audioMasterCloseWindow, 0, 0, kPtr, 0.0f, {{1, 1}, {0, 0}}, 0},
        {"hostDirectory", [](BareEffect& e) { return asInt(e.hostDirectory()); },
         audioMasterGetDirectory, 0, 0, nullptr, 0.0f, {{p, p}}, 0},
        {"hostUpdateDisplay", [](BareEffect& e) { return intptr_t{e.hostUpdateDisplay()}; },
         audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f, {{1, 1}, {0, 0}}, 0},
        // Only an answer of exactly 1 means the events were taken.
        {"hostSendEvents", [](BareEffect& e) { return intptr_t{e.hostSendEvents(kPtr)}; },
         audioMasterProcessEvents, 0, 0, kPtr, 0.0f, {{1, 1}, {2, 0}, {-1, 0}, {0, 0}}, 0},
    };
}

TEST(HostRequests, EachWrapperAsksAndReadsTheAnswer) {
    for (const Request& r : requests()) {
        for (const auto& [hostAnswer, expected] : r.answers) {
            FakeHost host;
            host.answerAll(hostAnswer);
            BareEffect effect(&FakeHost::callback);
            EXPECT_EQ(r.call(effect), expected) << r.name << " answered " << hostAnswer;
            const auto calls = host.calls();
            ASSERT_EQ(calls.size(), 1u) << r.name;
            const HostCall& c = calls[0];
            EXPECT_EQ(c.effect, effect.record()) << r.name;
            EXPECT_EQ(c.opcode, r.opcode) << r.name;
            EXPECT_EQ(c.index, r.index) << r.name;
            EXPECT_EQ(c.value, r.value) << r.name;
            EXPECT_EQ(c.ptr, r.ptr) << r.name;
            EXPECT_EQ(c.opt, r.opt) << r.name;
        }
    }
}

TEST(HostRequests, WithoutCallbackEachWrapperAnswersItsDefault) {
    FakeHost host;  // must stay silent: the effect was given no callback
    for (const Request& r : requests()) {
        BareEffect effect(nullptr);
        EXPECT_EQ(r.call(effect), r.withoutHost) << r.name;
    }
    EXPECT_EQ(host.size(), 0u);
}

TEST(HostRequests, AutomateStoresFirstThenTellsTheHostEveryTime) {
    FakeHost host;
    TestEffect effect(&FakeHost::callback);
    std::vector<size_t> putsSeenByHost;
    host.onCall([&](const HostCall&, intptr_t answer) {
        putsSeenByHost.push_back(effect.puts.size());
        return answer;
    });
    effect.automateParameter(2, 0.25f);
    effect.automateParameter(2, 0.25f);  // unchanged value: still reported
    const auto calls = host.callsOf(audioMasterAutomate);
    ASSERT_EQ(calls.size(), 2u);
    for (const HostCall& c : calls) {
        EXPECT_EQ(c.effect, effect.record());
        EXPECT_EQ(c.index, 2);
        EXPECT_EQ(c.value, 0);
        EXPECT_EQ(c.ptr, nullptr);
        EXPECT_EQ(c.opt, 0.25f);
    }
    EXPECT_EQ(putsSeenByHost, (std::vector<size_t>{1, 2}));
}

TEST(HostRequests, AutomateWithoutCallbackOnlyStores) {
    FakeHost host;
    TestEffect effect(nullptr);
    effect.automateParameter(1, 0.5f);
    ASSERT_EQ(effect.puts.size(), 1u);
    EXPECT_EQ(effect.puts[0].index, 1);
    EXPECT_EQ(effect.puts[0].value, 0.5f);
    EXPECT_EQ(host.size(), 0u);
}

TEST(HostRequests, AutomateIgnoresTheHostAnswer) {
    for (intptr_t answer : {intptr_t{0}, intptr_t{1}, intptr_t{-1}}) {
        FakeHost host;
        host.answerAll(answer);
        TestEffect effect(&FakeHost::callback);
        effect.automateParameter(0, 1.0f);
        EXPECT_EQ(effect.lastPut, 1.0f);
        EXPECT_EQ(host.count(audioMasterAutomate), 1u);
    }
}

// A host answers these by setting the value through the dispatcher while it
// serves the request; the wrapper must read the stored value afterwards.
TEST(HostRequests, RefreshReadsTheValueTheHostJustSet) {
    FakeHost host;
    host.answerAll(12345);  // the direct answer means nothing here
    BareEffect effect(&FakeHost::callback);
    host.onCall([&](const HostCall& c, intptr_t answer) {
        if (c.opcode == audioMasterGetSampleRate)
            c.effect->dispatcher(c.effect, effSetSampleRate, 0, 0, nullptr, 96000.0f);
        if (c.opcode == audioMasterGetBlockSize)
            c.effect->dispatcher(c.effect, effSetBlockSize, 0, 64, nullptr, 0.0f);
        return answer;
    });
    EXPECT_EQ(effect.refreshSampleRate(), 96000.0f);
    EXPECT_EQ(effect.refreshBlockSize(), 64);
    EXPECT_EQ(host.count(audioMasterGetSampleRate), 1u);
    EXPECT_EQ(host.count(audioMasterGetBlockSize), 1u);
}

TEST(HostRequests, RefreshWithoutCallbackAnswersTheStoredValue) {
    BareEffect effect(nullptr);
    EXPECT_EQ(effect.refreshSampleRate(), 44100.0f);
    EXPECT_EQ(effect.refreshBlockSize(), 1024);
    effect.dispatch(effSetBlockSizeAndSampleRate, 0, 128, nullptr, 22050.0f);
    EXPECT_EQ(effect.refreshSampleRate(), 22050.0f);
    EXPECT_EQ(effect.refreshBlockSize(), 128);
}

}  // namespace
