// Mouse interaction: knob drags measured on the tick, button clicks, right
// clicks, capture, and what reaches the host as automation.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "tests/support/editor_fixture.h"

namespace {

using Sent = std::vector<std::pair<int32_t, float>>;

class EditorMouse : public OpenEditorFixture {
protected:
    void setRaw(int32_t index, float rawValue) {
        instance->set(index, rawValue / (index >= kTimesTwo ? 1.0f : 128.0f));
        host.clear();
    }
};

TEST_F(EditorMouse, KnobFollowsTheVerticalDistanceFromThePress) {
    mouse(WM_LBUTTONDOWN, 170, 70);  // Attack, at 64
    EXPECT_EQ(GetCapture(), window);
    EXPECT_TRUE(automations().empty()) << "the press alone sends nothing";
    const struct {
        int x, y;
        float raw;
    } moves[] = {{170, 40, 94}, {170, -100, 128}, {170, 70, 64}, {600, 70, 64}, {170, 71, 63}, {-20, 300, 0}};
    for (const auto& m : moves) {
        host.clear();
        const float before = raw(kAttack);
        mouse(WM_MOUSEMOVE, m.x, m.y);
        EXPECT_EQ(raw(kAttack), before) << "nothing changes before the tick";
        tick();
        EXPECT_EQ(raw(kAttack), m.raw) << m.x << "," << m.y;
        EXPECT_EQ(automations(), (Sent{{kAttack, m.raw / 128.0f}}));
        EXPECT_EQ(effect().display.readoutKind, kReadoutAttack);
    }
    mouse(WM_LBUTTONUP, -20, 300);
    EXPECT_EQ(GetCapture(), nullptr);
    host.clear();
    tick();
    EXPECT_TRUE(automations().empty());
}

TEST_F(EditorMouse, DragsClampToTheKnobsRange) {
    const struct {
        int x;
        int32_t parameter;
        float start;
        int dy;
        float expected;
    } cases[] = {
        {100, kIngain, 30, 100, 0},     {300, kDrive, 0, -200, 128}, {230, kRelease, 64, -10, 74},
        {170, kAttack, 127, -1, 128},   {100, kIngain, 5, 5, 0},     {300, kDrive, 128, 1, 127},
    };
    for (const auto& c : cases) {
        setRaw(c.parameter, c.start);
        mouse(WM_LBUTTONDOWN, c.x, 60);
        mouse(WM_MOUSEMOVE, c.x, 60 + c.dy);
        tick();
        mouse(WM_LBUTTONUP, c.x, 60 + c.dy);
        EXPECT_EQ(raw(c.parameter), c.expected) << c.parameter << " from " << c.start;
    }
}

TEST_F(EditorMouse, HeldKnobReportsOnEveryTick) {
    mouse(WM_LBUTTONDOWN, 300, 70);  // Drive, at 0
    tick(5);
    EXPECT_EQ(automations(), (Sent(5, {kDrive, 0.0f})));
    mouse(WM_LBUTTONUP, 300, 70);
}

TEST_F(EditorMouse, EitherButtonsReleaseEndsTheDrag) {
    for (UINT release : {WM_LBUTTONUP, WM_RBUTTONUP}) {
        mouse(WM_LBUTTONDOWN, 170, 70);
        mouse(release, 170, 70);
        EXPECT_EQ(editor().dragMode, 0);
        EXPECT_EQ(editor().activeControl, 255);
        host.clear();
        tick(2);
        EXPECT_TRUE(automations().empty());
    }
}

TEST_F(EditorMouse, PressWhileHoldingOnlyMovesThePoint) {
    mouse(WM_LBUTTONDOWN, 170, 70);                          // Attack
    mouse(WM_LBUTTONDOWN, 357, 28);                          // over x2
    EXPECT_EQ(raw(kTimesTwo), 0.0f);
    tick();
    EXPECT_EQ(raw(kAttack), 106.0f) << "64 + 70 - 28";
    mouse(WM_LBUTTONUP, 357, 28);
}

TEST_F(EditorMouse, RightClickResetsKnobs) {
    const struct {
        int x;
        int32_t parameter;
    } knobs[] = {{170, kAttack}, {230, kRelease}, {100, kIngain}};
    for (const auto& k : knobs) {
        setRaw(k.parameter, 10);
        mouse(WM_RBUTTONDOWN, k.x, 70);
        EXPECT_EQ(GetCapture(), window);
        mouse(WM_RBUTTONUP, k.x, 70);
        EXPECT_EQ(raw(k.parameter), 64.0f);
        EXPECT_EQ(automations(), (Sent{{k.parameter, 0.5f}}));
        EXPECT_EQ(editor().dragMode, 0) << "the right button never drags";
    }
}

TEST_F(EditorMouse, RightClickTogglesDriveAndRemembersIt) {
    const auto rightClick = [&] {
        host.clear();
        mouse(WM_RBUTTONDOWN, 300, 70);
        mouse(WM_RBUTTONUP, 300, 70);
    };
    rightClick();  // at 0 with nothing remembered
    EXPECT_EQ(raw(kDrive), 0.0f);
    EXPECT_EQ(automations(), (Sent{{kDrive, 0.0f}})) << "reported even without a change";

    setRaw(kDrive, 100);
    rightClick();
    EXPECT_EQ(raw(kDrive), 0.0f);
    EXPECT_EQ(automations(), (Sent{{kDrive, 0.0f}}));
    rightClick();
    EXPECT_EQ(raw(kDrive), 100.0f);
    EXPECT_EQ(automations(), (Sent{{kDrive, 100.0f / 128.0f}}));
}

TEST_F(EditorMouse, ButtonsToggleAndRightClicksPairThem) {
    constexpr int kX2X = 357, kX2Y = 28, kBoostX = 58, kBoostY = 97;
    const struct {
        float x2, boost;
        UINT press, release;
        int x, y;
        float x2After, boostAfter;
        Sent sent;
    } cases[] = {
        {0, 1, WM_LBUTTONDOWN, WM_LBUTTONUP, kX2X, kX2Y, 1, 1, {{kTimesTwo, 1}}},
        {1, 1, WM_LBUTTONDOWN, WM_LBUTTONUP, kBoostX, kBoostY, 1, 0, {{kBoost, 0}}},
        {1, 1, WM_RBUTTONDOWN, WM_RBUTTONUP, kX2X, kX2Y, 0, 1, {{kTimesTwo, 0}, {kBoost, 1}}},
        {0, 1, WM_RBUTTONDOWN, WM_RBUTTONUP, kX2X, kX2Y, 1, 0, {{kTimesTwo, 1}, {kBoost, 0}}},
        {1, 0, WM_RBUTTONDOWN, WM_RBUTTONUP, kBoostX, kBoostY, 0, 1, {{kBoost, 1}, {kTimesTwo, 0}}},
        {0, 1, WM_RBUTTONDOWN, WM_RBUTTONUP, kBoostX, kBoostY, 1, 0, {{kBoost, 0}, {kTimesTwo, 1}}},
        {1, 1, WM_RBUTTONDOWN, WM_RBUTTONUP, kBoostX, kBoostY, 1, 0, {{kBoost, 0}, {kTimesTwo, 1}}},
        // A switch a host set beyond 1 reads as on and toggles to off.
        {2, 0, WM_LBUTTONDOWN, WM_LBUTTONUP, kX2X, kX2Y, 0, 0, {{kTimesTwo, 0}}},
    };
    for (const auto& c : cases) {
        effect().storeRaw(kTimesTwo, c.x2);
        effect().storeRaw(kBoost, c.boost);
        host.clear();
        mouse(c.press, c.x, c.y);
        mouse(c.release, c.x, c.y);
        EXPECT_EQ(raw(kTimesTwo), c.x2After) << c.x << " from " << c.x2 << "/" << c.boost;
        EXPECT_EQ(raw(kBoost), c.boostAfter) << c.x << " from " << c.x2 << "/" << c.boost;
        EXPECT_EQ(automations(), c.sent) << c.x << " from " << c.x2 << "/" << c.boost;
    }
}

TEST_F(EditorMouse, APairedClickIsWholeBeforeTheHostHearsOfIt) {
    // What the host reads back, inside each report, for the two switches.
    std::vector<std::pair<float, float>> seen;
    host.onCall([&](const HostCall& call, intptr_t answer) {
        if (call.opcode == audioMasterAutomate) {
            seen.emplace_back(call.effect->getParameter(call.effect, kTimesTwo),
                              call.effect->getParameter(call.effect, kBoost));
        }
        return answer;
    });
    effect().storeRaw(kTimesTwo, 0);
    effect().storeRaw(kBoost, 1);
    mouse(WM_RBUTTONDOWN, 357, 28);
    mouse(WM_RBUTTONUP, 357, 28);
    EXPECT_EQ(seen, (std::vector<std::pair<float, float>>{{1.0f, 0.0f}, {1.0f, 0.0f}}));
    host.onCall(nullptr);
}

TEST_F(EditorMouse, PressOnNothingCapturesAndChangesNothing) {
    for (auto [x, y] : {std::pair{10, 130}, std::pair{346, 28}, std::pair{491, 10}, std::pair{470, 10}}) {
        const float before[6] = {raw(0), raw(1), raw(2), raw(3), raw(4), raw(5)};
        for (auto [press, release] : {std::pair{WM_LBUTTONDOWN, WM_LBUTTONUP}, std::pair{WM_RBUTTONDOWN, WM_RBUTTONUP}}) {
            mouse(press, x, y);
            EXPECT_EQ(GetCapture(), window);
            mouse(release, x, y);
            EXPECT_EQ(GetCapture(), nullptr);
        }
        for (int i = 0; i < 6; ++i) EXPECT_EQ(raw(i), before[i]) << x << "," << y;
        EXPECT_TRUE(automations().empty()) << x << "," << y;
    }
}

TEST_F(EditorMouse, ReadoutFollowsTheDraggedKnobAnywhere) {
    mouse(WM_LBUTTONDOWN, 230, 70);  // Release
    mouse(WM_MOUSEMOVE, 100, 60);    // over the Input knob
    tick();
    EXPECT_EQ(effect().display.readoutKind, kReadoutRelease);
    EXPECT_FALSE(effect().display.readoutText.empty());
    mouse(WM_LBUTTONUP, 100, 60);
    tick();
    EXPECT_EQ(effect().display.readoutKind, kReadoutIngain);
}

// Each gesture reaches the host bracketed: audioMasterBeginEdit at the press,
// the automation while held, audioMasterEndEdit at the release (or when the
// window closes under it); a click is a whole gesture per parameter, so a
// host recording in touch mode keeps what the user did.
TEST_F(EditorMouse, GesturesAreBracketedByBeginAndEndEdit) {
    const auto gestures = [this] {
        std::vector<std::tuple<int32_t, int32_t, float>> sent;  // opcode, index, value
        for (const HostCall& call : host.calls()) {
            if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterEndEdit ||
                call.opcode == audioMasterAutomate)
                sent.emplace_back(call.opcode, call.index, call.opcode == audioMasterAutomate ? call.opt : 0.0f);
        }
        return sent;
    };
    using G = std::vector<std::tuple<int32_t, int32_t, float>>;
    constexpr int32_t kBegin = audioMasterBeginEdit, kEnd = audioMasterEndEdit, kSet = audioMasterAutomate;

    mouse(WM_LBUTTONDOWN, 300, 70);  // Drive, at 0
    EXPECT_EQ(gestures(), (G{{kBegin, kDrive, 0.0f}}));
    mouse(WM_MOUSEMOVE, 300, 60);
    tick(2);
    mouse(WM_LBUTTONUP, 300, 60);
    tick();
    EXPECT_EQ(gestures(), (G{{kBegin, kDrive, 0.0f}, {kSet, kDrive, 10 / 128.0f}, {kSet, kDrive, 10 / 128.0f},
                             {kEnd, kDrive, 0.0f}}));

    host.clear();
    effect().storeRaw(kTimesTwo, 0);
    effect().storeRaw(kBoost, 1);
    mouse(WM_RBUTTONDOWN, 357, 28);  // the x2 pair
    mouse(WM_RBUTTONUP, 357, 28);
    EXPECT_EQ(gestures(), (G{{kBegin, kTimesTwo, 0.0f}, {kSet, kTimesTwo, 1.0f}, {kEnd, kTimesTwo, 0.0f},
                             {kBegin, kBoost, 0.0f}, {kSet, kBoost, 0.0f}, {kEnd, kBoost, 0.0f}}));

    host.clear();
    mouse(WM_LBUTTONDOWN, 170, 70);  // Attack, held while the host closes the editor
    tick();
    close();
    EXPECT_EQ(gestures(), (G{{kBegin, kAttack, 0.0f}, {kSet, kAttack, 0.5f}, {kEnd, kAttack, 0.0f}}));
    window = open();
}

}  // namespace
