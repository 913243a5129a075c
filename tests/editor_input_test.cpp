// What the editor adds to its mouse handling for musicians: the wheel, Shift
// for fine travel, Ctrl-click and double-click resets, the readout clearing
// when the pointer leaves, and no frames composed while the window is hidden.
// Each change reaches the host as one gesture.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "tests/support/editor_fixture.h"

namespace {

using Gesture = std::vector<std::tuple<int32_t, int32_t, float>>;  // opcode, index, value
constexpr int32_t kBegin = audioMasterBeginEdit, kEnd = audioMasterEndEdit, kSet = audioMasterAutomate;

class EditorInput : public OpenEditorFixture {
protected:
    LRESULT send(UINT message, WPARAM keys, int x, int y) const {
        return softwin::sendMessage(window, message, keys, MAKELPARAM(x, y));
    }
    /// Wheel notches (WHEEL_DELTA each, negative toward the user) at client (x, y).
    void wheel(int x, int y, int distance, WPARAM keys = 0) const {
        POINT screen{x, y};  // a window of the layer alone sits at the screen's origin
        softwin::sendMessage(window, WM_MOUSEWHEEL, MAKELONG(keys, distance), MAKELPARAM(screen.x, screen.y));
    }
    Gesture gestures() const {
        Gesture sent;
        for (const HostCall& call : host.calls()) {
            if (call.opcode == kBegin || call.opcode == kEnd || call.opcode == kSet)
                sent.emplace_back(call.opcode, call.index, call.opcode == kSet ? call.opt : 0.0f);
        }
        return sent;
    }
    static Gesture one(int32_t index, float raw) {
        return {{kBegin, index, 0.0f}, {kSet, index, raw / 128.0f}, {kEnd, index, 0.0f}};
    }
};

TEST_F(EditorInput, WheelTurnsTheKnobUnderThePointer) {
    wheel(300, 70, 5 * WHEEL_DELTA);  // Drive, at 0: five notches up
    EXPECT_EQ(raw(kDrive), 5.0f);
    EXPECT_EQ(gestures(), one(kDrive, 5));

    host.clear();
    wheel(170, 70, -2 * WHEEL_DELTA);  // Attack, at 64
    EXPECT_EQ(raw(kAttack), 62.0f);
    EXPECT_EQ(gestures(), one(kAttack, 62));

    // A fine wheel's small distances add up; Shift needs four notches a step.
    host.clear();
    wheel(170, 70, WHEEL_DELTA / 2);
    EXPECT_TRUE(gestures().empty());
    wheel(170, 70, WHEEL_DELTA / 2);
    EXPECT_EQ(raw(kAttack), 63.0f);
    for (int notch = 0; notch < 3; ++notch) wheel(170, 70, WHEEL_DELTA, MK_SHIFT);
    EXPECT_EQ(raw(kAttack), 63.0f);
    wheel(170, 70, WHEEL_DELTA, MK_SHIFT);
    EXPECT_EQ(raw(kAttack), 64.0f);

    // The ends hold without a report; switches, the logo and the bare panel ignore it.
    instance->set(kDrive, 1.0f);
    host.clear();
    wheel(300, 70, 3 * WHEEL_DELTA);
    wheel(357, 28, WHEEL_DELTA);   // x2
    wheel(58, 97, -WHEEL_DELTA);   // Boost
    wheel(470, 10, WHEEL_DELTA);   // logo
    wheel(10, 130, WHEEL_DELTA);   // panel
    EXPECT_EQ(raw(kDrive), 128.0f);
    EXPECT_EQ(raw(kTimesTwo), 0.0f);
    EXPECT_EQ(raw(kBoost), 0.0f);
    EXPECT_TRUE(gestures().empty());
}

TEST_F(EditorInput, ShiftDragsAQuarterAsFastWithoutAJump) {
    mouse(WM_LBUTTONDOWN, 300, 90);  // Drive, at 0
    send(WM_MOUSEMOVE, MK_LBUTTON, 300, 50);
    tick();
    EXPECT_EQ(raw(kDrive), 40.0f);
    // Shift from here on: 40 units more travel is 10 steps.
    send(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, 300, 50);
    tick();
    EXPECT_EQ(raw(kDrive), 40.0f) << "pressing Shift does not move the knob";
    send(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, 300, 10);
    tick();
    EXPECT_EQ(raw(kDrive), 50.0f);
    send(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, 300, 13);
    tick();
    EXPECT_EQ(raw(kDrive), 49.0f) << "a part of a step down is a step down";
    // Letting go of Shift: full speed again from where the knob is.
    send(WM_MOUSEMOVE, MK_LBUTTON, 300, 13);
    send(WM_MOUSEMOVE, MK_LBUTTON, 300, 3);
    tick();
    EXPECT_EQ(raw(kDrive), 59.0f);
    mouse(WM_LBUTTONUP, 300, 3);

    // A drag that starts with Shift held is fine from the press.
    send(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 230, 70);  // Release, at 64
    send(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, 230, 30);
    tick();
    send(WM_LBUTTONUP, MK_SHIFT, 230, 30);
    EXPECT_EQ(raw(kRelease), 74.0f);
}

TEST_F(EditorInput, CtrlClickAndDoubleClickResetAKnob) {
    const float drive = kParameters[kDrive].defaultRaw;
    const float ingain = kParameters[kIngain].defaultRaw;
    instance->set(kDrive, 100 / 128.0f);
    instance->set(kIngain, 10 / 128.0f);
    host.clear();

    send(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 300, 70);
    EXPECT_EQ(raw(kDrive), drive);
    EXPECT_EQ(gestures(), one(kDrive, drive));
    tick(2);
    send(WM_LBUTTONUP, MK_CONTROL, 300, 70);
    EXPECT_EQ(gestures(), one(kDrive, drive)) << "a Ctrl-click starts no drag";

    // The first click of a double click is an ordinary (still) press.
    host.clear();
    mouse(WM_LBUTTONDOWN, 100, 70);
    mouse(WM_LBUTTONUP, 100, 70);
    send(WM_LBUTTONDBLCLK, MK_LBUTTON, 100, 70);
    mouse(WM_LBUTTONUP, 100, 70);
    EXPECT_EQ(raw(kIngain), ingain);
    Gesture expected{{kBegin, kIngain, 0.0f}, {kEnd, kIngain, 0.0f}};
    for (const auto& call : one(kIngain, ingain)) expected.push_back(call);
    EXPECT_EQ(gestures(), expected);

    // On a button the second press of a double click is one more click.
    host.clear();
    mouse(WM_LBUTTONDOWN, 357, 28);
    mouse(WM_LBUTTONUP, 357, 28);
    send(WM_LBUTTONDBLCLK, MK_LBUTTON, 357, 28);
    mouse(WM_LBUTTONUP, 357, 28);
    EXPECT_EQ(raw(kTimesTwo), 0.0f);
    EXPECT_EQ(host.callsOf(audioMasterAutomate).size(), 2u);
    // So is a quick second right click on Drive: off, then back.
    instance->set(kDrive, 100 / 128.0f);
    host.clear();
    mouse(WM_RBUTTONDOWN, 300, 70);
    mouse(WM_RBUTTONUP, 300, 70);
    EXPECT_EQ(raw(kDrive), 0.0f);
    send(WM_RBUTTONDBLCLK, MK_RBUTTON, 300, 70);
    mouse(WM_RBUTTONUP, 300, 70);
    EXPECT_EQ(raw(kDrive), 100.0f);
    EXPECT_EQ(host.callsOf(audioMasterAutomate).size(), 2u);
}

TEST_F(EditorInput, ReadoutClearsWhenThePointerLeaves) {
    mouse(WM_MOUSEMOVE, 170, 70);  // over Attack
    tick();
    EXPECT_EQ(effect().display.readoutKind, kReadoutAttack);
    const softwin::Image shown = frame();
    mouse(WM_MOUSELEAVE, 0, 0);
    tick();
    EXPECT_EQ(effect().display.readoutKind, kReadoutNone);
    EXPECT_TRUE(effect().display.readoutText.empty());
    EXPECT_NE(frame(), shown);

    // A held knob keeps its readout when the captured pointer leaves.
    mouse(WM_LBUTTONDOWN, 170, 70);
    mouse(WM_MOUSEMOVE, 170, -40);
    mouse(WM_MOUSELEAVE, 0, 0);
    tick();
    EXPECT_EQ(effect().display.readoutKind, kReadoutAttack);
    EXPECT_EQ(raw(kAttack), 128.0f);
    mouse(WM_LBUTTONUP, 170, -40);
}

TEST_F(EditorInput, HiddenWindowComposesNoFramesAndCatchesUp) {
    // A second editor that is never hidden shows what the hidden one should.
    FakeHost otherHost;
    Instance other(otherHost);
    ASSERT_EQ(other.dispatch(effEditOpen, 0, 0, nullptr), 1);
    const HWND witness = static_cast<SkinEditor&>(*other.effect().editor()).window;
    const auto both = [&](int32_t index, float value) {
        instance->set(index, value);
        other.set(index, value);
    };

    ShowWindow(window, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(window));
    const softwin::Image before = frame();
    both(kDrive, 1.0f);
    both(kTimesTwo, 1.0f);
    tick(6);
    EXPECT_EQ(frame(), before) << "nothing is drawn while hidden";

    ShowWindow(window, SW_SHOW);
    tick();
    EXPECT_EQ(frame(), *softwin::windowPixels(witness)) << "the first frame back is the current one";
    other.dispatch(effEditClose);
}

}  // namespace
