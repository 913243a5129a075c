// The editor window: opening and closing through the host's opcodes, the
// shared skin, the window procedure, the timer's readout rules, and what
// happens when a host leaves a window open.
#include <gtest/gtest.h>

#include "tests/support/editor_fixture.h"
#include "tests/support/scoped_environment.h"

namespace {

using EditorWindow = EditorFixture;

TEST_F(EditorWindow, RectangleIsFixedWhetherOpenOrNot) {
    for (bool openFirst : {false, true}) {
        if (openFirst) open();
        ERect* rect = nullptr;
        EXPECT_EQ(instance->dispatch(effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->top, 0);
        EXPECT_EQ(rect->left, 0);
        EXPECT_EQ(rect->bottom, 140);
        EXPECT_EQ(rect->right, 500);
    }
    close();
}

TEST_F(EditorWindow, OpensAChildWindowWithATimerInsideTheHostsWindow) {
    // A host window of the software layer itself: the editor's is its child in memory.
    WNDCLASSA hostClass{};
    hostClass.lpfnWndProc = DefWindowProcA;
    hostClass.lpszClassName = "editorhostframe";
    ASSERT_NE(RegisterClassA(&hostClass), 0);
    const HWND hostWindow = CreateWindowExA(0, "editorhostframe", "host", WS_VISIBLE, 0, 0, 500, 140, nullptr,
                                            nullptr, nullptr, nullptr);
    HWND window = open(hostWindow);
    ASSERT_TRUE(softwin::isWindow(window));
    EXPECT_EQ(softwin::windowClassName(window), "varnoxclass");
    EXPECT_EQ(softwin::windowTitle(window), "varnox");
    EXPECT_EQ(softwin::windowStyle(window), 0x50000000u);
    EXPECT_EQ(softwin::windowParent(window), hostWindow);
    EXPECT_TRUE(softwin::hasTimer(window, 1));
    EXPECT_EQ(editor().timerId, 1u);
    EXPECT_EQ(editor().isOpen, 1);
    EXPECT_EQ(SkinEditor::openEditorCount(), 1);

    tick();
    EXPECT_EQ(frame(), skinart::startFrame().pixels);
    close();
    EXPECT_FALSE(softwin::isWindow(window));
    EXPECT_EQ(editor().isOpen, 0);
    DestroyWindow(hostWindow);
    UnregisterClassA("editorhostframe", nullptr);
}

TEST_F(EditorWindow, NoEditorInAParentThatIsNoWindow) {
    // On Linux a host hands over an X11 window id; without a display that
    // knows it as a window there is nothing to show the editor in.
    const ScopedEnvironment noDisplay("DISPLAY", nullptr);
    for (const std::uintptr_t id : {std::uintptr_t{0x3a00007}, std::uintptr_t{0x5a5a0000}}) {
        EXPECT_EQ(instance->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(id)), 0) << id;
        EXPECT_EQ(editor().isOpen, 0);
        EXPECT_EQ(editor().window, nullptr);
        EXPECT_EQ(SkinEditor::openEditorCount(), 0);
        EXPECT_FALSE(softwin::isClassRegistered("varnoxclass"));
        EXPECT_EQ(softwin::liveGdiObjects(), gdiBefore);
        close();
    }
    open();
    tick();
    EXPECT_EQ(frame(), skinart::startFrame().pixels);
    close();
}

TEST_F(EditorWindow, HeadlessOpenWithoutParentStillTicksAndDraws) {
    HWND window = open(nullptr);
    ASSERT_TRUE(softwin::isWindow(window));
    EXPECT_EQ(softwin::windowParent(window), nullptr);
    tick();
    EXPECT_EQ(frame(), skinart::startFrame().pixels);
    close();
}

TEST_F(EditorWindow, CloseWithoutOpenOrTwiceDoesNothing) {
    close();
    EXPECT_EQ(SkinEditor::openEditorCount(), 0);
    open();
    close();
    close();
    EXPECT_EQ(SkinEditor::openEditorCount(), 0);
    EXPECT_EQ(softwin::liveGdiObjects(), gdiBefore);
}

TEST_F(EditorWindow, TwoEditorsShareOneSkinUntilTheLastCloses) {
    Instance second(host);
    SkinEditor& other = static_cast<SkinEditor&>(*second.effect().editor());

    open();
    const std::size_t withOne = softwin::liveGdiObjects();
    EXPECT_EQ(withOne - gdiBefore, 3u + 8u) << "window DC, back DC, back buffer; four skin DCs and bitmaps";
    EXPECT_EQ(second.dispatch(effEditOpen), 1);
    EXPECT_EQ(softwin::liveGdiObjects() - withOne, 3u) << "the second editor loads no skin of its own";
    EXPECT_EQ(SkinEditor::openEditorCount(), 2);
    EXPECT_EQ(softwin::registeredClassCount(), 1u);

    close();
    EXPECT_TRUE(softwin::isClassRegistered("varnoxclass"));
    tick();
    EXPECT_EQ(*softwin::windowPixels(other.window), skinart::startFrame().pixels) << "still draws after the first closed";

    second.dispatch(effEditClose);
    EXPECT_EQ(softwin::liveGdiObjects(), gdiBefore);
    EXPECT_FALSE(softwin::isClassRegistered("varnoxclass"));

    // Opening again loads the skin afresh.
    open();
    tick();
    EXPECT_EQ(frame(), skinart::startFrame().pixels);
    close();
}

TEST_F(EditorWindow, EffectClosedWithItsWindowOpenTakesTheWindowAlong) {
    HWND window = open();
    tick();
    instance.reset();  // effClose without effEditClose
    EXPECT_FALSE(softwin::isWindow(window));
    EXPECT_EQ(SkinEditor::openEditorCount(), 0);
    tick(3);  // nothing may reach the destroyed editor
}

TEST_F(EditorWindow, EffectClosedWhileAnotherEditorStaysOpen) {
    auto second = std::make_unique<Instance>(host);
    SkinEditor& other = static_cast<SkinEditor&>(*second->effect().editor());
    open();
    second->dispatch(effEditOpen);
    instance.reset();
    tick();
    EXPECT_EQ(*softwin::windowPixels(other.window), skinart::startFrame().pixels);
    second.reset();
}

TEST_F(EditorWindow, ClosingWhileAKnobIsHeldEndsTheDrag) {
    open();
    mouse(WM_LBUTTONDOWN, 170, 70);  // Attack
    mouse(WM_MOUSEMOVE, 170, 40);
    tick();
    ASSERT_EQ(raw(kAttack), 94.0f);
    close();  // the button release never arrives
    EXPECT_EQ(editor().dragMode, 0);
    EXPECT_EQ(editor().activeControl, 255);

    open();
    host.clear();
    tick(5);
    EXPECT_TRUE(automations().empty());
    EXPECT_EQ(raw(kAttack), 94.0f);
    close();
}

TEST_F(EditorWindow, ClosingWhileTheAboutPanelIsHeldShowsThePanelAfterReopening) {
    open();
    tick();
    mouse(WM_LBUTTONDOWN, 470, 10);
    tick();
    close();
    open();
    tick();
    EXPECT_EQ(frame(), skinart::startFrame().pixels);
    close();
}

TEST_F(EditorWindow, SecondOpenWithoutCloseReplacesTheWindow) {
    HWND first = open();
    HWND second = open();
    EXPECT_FALSE(softwin::isWindow(first));
    EXPECT_TRUE(softwin::isWindow(second));
    EXPECT_EQ(SkinEditor::openEditorCount(), 1);
    tick();
    EXPECT_EQ(frame(), skinart::startFrame().pixels);
    close();
}

// A procedure that refuses creation, standing in for a window system that cannot make the window.
LRESULT CALLBACK refuseCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_NCCREATE ? FALSE : DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(EditorWindow, OpenReportsFailureWhenNoWindowCanBeMade) {
    WNDCLASSA squatter{};
    squatter.lpfnWndProc = refuseCreation;
    squatter.hInstance = static_cast<HINSTANCE>(moduleInstance);
    squatter.lpszClassName = "varnoxclass";
    ASSERT_NE(RegisterClassA(&squatter), 0);

    EXPECT_EQ(instance->dispatch(effEditOpen), 0);
    EXPECT_EQ(editor().isOpen, 0);
    EXPECT_EQ(SkinEditor::openEditorCount(), 0);
    EXPECT_EQ(softwin::liveGdiObjects(), gdiBefore);
    tick();
    UnregisterClassA("varnoxclass", static_cast<HINSTANCE>(moduleInstance));
}

TEST_F(EditorWindow, WindowProcedureAnswers) {
    HWND window = open();
    tick();
    const softwin::Image shown = frame();

    EXPECT_EQ(softwin::sendMessage(window, WM_ERASEBKGND), 1);
    EXPECT_EQ(frame(), shown) << "the window keeps its pixels until the next tick";
    EXPECT_EQ(editor().redrawMode, 1);
    tick();
    EXPECT_EQ(editor().redrawMode, 0);

    editor().redrawMode = 0;
    softwin::sendMessage(window, WM_PAINT);
    EXPECT_EQ(editor().redrawMode, 1);

    // A foreign timer id is not a tick.
    effect().display.peakLeft = 1.0f;
    softwin::sendMessage(window, WM_TIMER, 99);
    EXPECT_EQ(effect().display.peakLeft, 1.0f);

    SetCursor(nullptr);
    mouse(WM_MOUSEMOVE, 10, 10);
    EXPECT_EQ(softwin::currentCursor(), softwin::arrowCursor());
    close();
}

TEST_F(EditorWindow, FrameIsSkippedWithoutADeviceContext) {
    open();
    tick();
    const softwin::Image shown = frame();
    effect().storeRaw(kAttack, 128.0f);
    repaint();
    softwin::setGetDcFailure(true);
    tick();
    softwin::setGetDcFailure(false);
    EXPECT_EQ(frame(), shown);
    EXPECT_EQ(editor().redrawMode, 0);
    close();
}

// ---- readout selection on the tick

TEST_F(EditorWindow, ReadoutFollowsTheKnobUnderThePointer) {
    open();
    const struct {
        int x, y;
        int32_t kind;
    } cases[] = {
        {279, 46, kReadoutDrive}, {327, 94, kReadoutDrive}, {146, 70, kReadoutAttack}, {257, 94, kReadoutRelease},
        {77, 46, kReadoutIngain}, {76, 46, kReadoutNone},   {125, 95, kReadoutNone},   {-5, -5, kReadoutNone},
    };
    for (const auto& c : cases) {
        mouse(WM_MOUSEMOVE, c.x, c.y);
        tick();
        EXPECT_EQ(effect().display.readoutKind, c.kind) << c.x << "," << c.y;
        EXPECT_EQ(effect().display.readoutText.empty(), c.kind == kReadoutNone) << c.x << "," << c.y;
    }
    close();
}

TEST_F(EditorWindow, HostChangeHoldsItsReadoutForTwentyTicks) {
    open();
    mouse(WM_MOUSEMOVE, 230, 70);  // over Release
    tick();
    instance->set(kAttack, 1.0f);
    EXPECT_EQ(effect().display.readoutKind, kReadoutAttack);
    const std::string attackText = effect().display.readoutText.str();
    for (int i = 0; i < 20; ++i) {
        tick();
        ASSERT_EQ(effect().display.readoutKind, kReadoutAttack) << "tick " << i + 1;
        ASSERT_EQ(effect().display.readoutText.str(), attackText);
    }
    tick();
    EXPECT_EQ(effect().display.readoutKind, kReadoutRelease);
    close();
}

TEST_F(EditorWindow, HostChangeOfASwitchEmptiesTheReadoutAtOnce) {
    open();
    mouse(WM_MOUSEMOVE, 300, 70);
    tick();
    ASSERT_FALSE(effect().display.readoutText.empty());
    for (int32_t index : {kTimesTwo, kBoost}) {
        instance->set(index, 1.0f);
        EXPECT_TRUE(effect().display.readoutText.empty());
        EXPECT_EQ(effect().display.readoutHold, 0);
    }
    close();
}

}  // namespace
