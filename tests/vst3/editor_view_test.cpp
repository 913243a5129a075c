// The editor as a VST 3 view, with the face linked in so the test can play
// the window system (the software layer): size, platform types, attach and
// remove, the same pixels as the VST 2 editor, knob drags and clicks reaching
// the host as edits, and the host's run loop.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <thread>

#include "host/effect_base.h"
#include "product/shaper_effect_edit.h"
#include "platform/soft_win32_driver.h"
#include "tests/vst3/vst3_host.h"
#include "tests/windows/host_script.h"
#include "tools/common/editor_snapshot.h"
#include "vst3/factory.h"

namespace {

using namespace vst3host;

class Vst3EditorView : public ::testing::Test {
protected:
    void SetUp() override {
        gdiBefore = softwin::liveGdiObjects();
        plugin = std::make_unique<Plugin>(vst3face::pluginFactory());
        plugin->controller->setComponentHandler(&handler);
        view = plugin->controller->createView("editor");
        ASSERT_NE(view, nullptr);
    }
    void TearDown() override {
        if (view) {
            EXPECT_EQ(view->release(), 0u);
        }
        plugin.reset();
        EXPECT_EQ(handler.references, 0);
        EXPECT_EQ(softwin::liveGdiObjects(), gdiBefore);
        EXPECT_FALSE(softwin::isClassRegistered("varnoxclass"));
    }
    HWND attach() {
        EXPECT_EQ(view->attached(nullptr, kPlatformTypeNative), kResultOk);
        return softwin::lastWindow("varnoxclass");
    }
    static void ticks(int count) {
        for (int i = 0; i < count; ++i) softwin::tick();
    }

    EditHandler handler;
    std::unique_ptr<Plugin> plugin;
    IPlugView* view = nullptr;
    std::size_t gdiBefore = 0;
};

TEST_F(Vst3EditorView, FixedSizeForThisPlatformsWindows) {
    EXPECT_EQ(plugin->controller->createView("other"), nullptr);
    EXPECT_EQ(plugin->controller->createView(nullptr), nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported("X11EmbedWindowID"), kResultTrue);
    for (const char* other : {"HWND", "NSView", "HIView", ""}) EXPECT_EQ(view->isPlatformTypeSupported(other), kResultFalse);
    EXPECT_EQ(view->attached(nullptr, "NSView"), kResultFalse);

    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.left, 0);
    EXPECT_EQ(size.top, 0);
    EXPECT_EQ(size.right, 500);
    EXPECT_EQ(size.bottom, 140);
    EXPECT_EQ(view->canResize(), kResultFalse);
    ViewRect wanted{10, 20, 900, 700};
    EXPECT_EQ(view->checkSizeConstraint(&wanted), kResultTrue);
    EXPECT_EQ(wanted.right - wanted.left, 500);
    EXPECT_EQ(wanted.bottom - wanted.top, 140);
    EXPECT_EQ(wanted.left, 10);
    EXPECT_EQ(view->onSize(&size), kResultOk);
    EXPECT_EQ(view->onKeyDown(u'a', 0, 0), kResultFalse);  // keys stay the host's
}

TEST_F(Vst3EditorView, AttachOpensTheEditorAndRemoveClosesIt) {
    const std::size_t windows = softwin::liveWindows().size();
    HWND window = attach();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(softwin::liveWindows().size(), windows + 1);
    EXPECT_EQ(view->attached(nullptr, kPlatformTypeNative), kResultFalse);  // already

    // A second view of the same effect stays empty while the first has the editor.
    IPlugView* second = plugin->controller->createView("editor");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->attached(nullptr, kPlatformTypeNative), kResultFalse);
    EXPECT_EQ(second->release(), 0u);

    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_FALSE(softwin::isWindow(window));
    EXPECT_EQ(view->removed(), kResultFalse);
    // Open again after a close.
    ASSERT_NE(attach(), nullptr);
    ticks(2);
    EXPECT_EQ(view->removed(), kResultOk);
}

// A host that ends the instance with the editor still attached gets it closed.
TEST_F(Vst3EditorView, TerminateClosesAnAttachedEditor) {
    HWND window = attach();
    plugin->component->terminate();
    EXPECT_FALSE(softwin::isWindow(window));
    EXPECT_EQ(view->removed(), kResultFalse);
}

softwin::Image runScript(HWND window) {
    for (const hostscript::Step& step : hostscript::mouseScript()) {
        softwin::sendMouse(window, hostscript::messageFor(step.action), step.x, step.y);
        for (int i = 0; i < step.ticksAfter; ++i) softwin::tick();
    }
    return *softwin::windowPixels(window);
}

// The same clicks and drag on the same program draw the same 70,000 pixels.
TEST_F(Vst3EditorView, SamePixelsAsTheVst2Editor) {
    softwin::Image expected;
    {
        AEffect* effect = createEffectInstance([](AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) -> intptr_t {
            return opcode == audioMasterVersion ? 2400 : 0;
        });
        ASSERT_NE(effect, nullptr);
        effect->dispatcher(effect, effSetProgram, 0, hostscript::kEditorProgram, nullptr, 0.0f);
        ASSERT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, nullptr, 0.0f), 1);
        expected = runScript(softwin::lastWindow("varnoxclass"));
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    plugin->controller->setParamNormalized(7, hostscript::kEditorProgram / 9.0);
    const softwin::Image got = runScript(attach());
    EXPECT_EQ(got.width, 500);
    EXPECT_EQ(got.height, 140);
    EXPECT_TRUE(got == expected) << "the VST 3 view's frame differs from the VST 2 editor's";
    view->removed();
}

// A knob drag is one edit: begun at the first change, a value every tick
// while held, ended with the drag; a click is a whole edit at once.
TEST_F(Vst3EditorView, EditorChangesReachTheHostAsEdits) {
    HWND window = attach();
    handler.calls.clear();
    softwin::sendMouse(window, WM_MOUSEMOVE, 303, 80);
    softwin::sendMouse(window, WM_LBUTTONDOWN, 303, 80);
    ticks(1);
    softwin::sendMouse(window, WM_MOUSEMOVE, 303, 70);
    ticks(1);
    softwin::sendMouse(window, WM_MOUSEMOVE, 303, 60);
    ticks(2);
    softwin::sendMouse(window, WM_LBUTTONUP, 303, 60);
    ticks(2);
    ASSERT_GE(handler.calls.size(), 5u);
    EXPECT_EQ(handler.calls.front(), (EditHandler::Call{'b', 3, 0.0}));
    EXPECT_EQ(handler.calls.back(), (EditHandler::Call{'e', 3, 0.0}));
    for (std::size_t i = 1; i + 1 < handler.calls.size(); ++i) {
        EXPECT_EQ(handler.calls[i].what, 'p');
        EXPECT_EQ(handler.calls[i].id, 3u);
    }
    EXPECT_EQ(handler.calls[handler.calls.size() - 2].value, 20.0 / 128);  // 20 pixels up from 0
    EXPECT_EQ(plugin->controller->getParamNormalized(3), 20.0 / 128);

    // Boost clicked, then the Times Two pair right-clicked: whole edits each.
    handler.calls.clear();
    softwin::sendMouse(window, WM_LBUTTONDOWN, 58, 97);
    softwin::sendMouse(window, WM_LBUTTONUP, 58, 97);
    softwin::sendMouse(window, WM_RBUTTONDOWN, 357, 28);
    softwin::sendMouse(window, WM_RBUTTONUP, 357, 28);
    const std::vector<EditHandler::Call> clicks = {
        {'b', 5, 0.0}, {'p', 5, 1.0}, {'e', 5, 0.0},                                  // Boost on
        {'b', 4, 0.0}, {'p', 4, 1.0}, {'e', 4, 0.0}, {'b', 5, 0.0}, {'p', 5, 0.0}, {'e', 5, 0.0},  // pair
    };
    EXPECT_EQ(handler.calls, clicks);

    // Changes the host makes are no edits, even with the editor open.
    handler.calls.clear();
    plugin->controller->setParamNormalized(1, 0.9);
    plugin->controller->setParamNormalized(7, 4 / 9.0);
    ticks(3);
    ASSERT_EQ(handler.calls.size(), 1u);
    EXPECT_EQ(handler.calls[0].what, 'r');

    // A drag cut short by the host removing the view still ends its edit.
    handler.calls.clear();
    softwin::sendMouse(window, WM_LBUTTONDOWN, 170, 70);
    ticks(2);
    view->removed();
    ASSERT_FALSE(handler.calls.empty());
    EXPECT_EQ(handler.calls.front().what, 'b');
    EXPECT_EQ(handler.calls.back(), (EditHandler::Call{'e', 1, 0.0}));
}

// Without the host's run loop the editor ticks on a thread of its own; the
// host hears its edits on the host's thread, at the next call it makes into
// the effect there: each parameter's edit whole (begun, its latest value,
// ended), however many ticks passed, and a gesture still held stays open.
TEST_F(Vst3EditorView, EditsFromTheEditorsOwnThreadReachTheHostOnItsThread) {
    HWND window = attach();
    handler.calls.clear();
    const auto onEditorThread = [](const std::function<void()>& work) { std::thread(work).join(); };

    onEditorThread([&] {
        softwin::sendMouse(window, WM_LBUTTONDOWN, 303, 80);
        ticks(1);
        softwin::sendMouse(window, WM_MOUSEMOVE, 303, 70);
        ticks(1);
        softwin::sendMouse(window, WM_MOUSEMOVE, 303, 60);
        ticks(2);
    });
    EXPECT_TRUE(handler.calls.empty()) << "the host was called from the editor's thread";
    EXPECT_EQ(plugin->controller->getParamNormalized(3), 20.0 / 128);  // the effect follows at once
    const std::vector<EditHandler::Call> held = {{'b', 3, 0.0}, {'p', 3, 20.0 / 128}};
    EXPECT_EQ(handler.calls, held);

    // The drag goes on and ends, and Boost is clicked, all before the host calls again.
    handler.calls.clear();
    onEditorThread([&] {
        softwin::sendMouse(window, WM_MOUSEMOVE, 303, 50);
        ticks(2);
        softwin::sendMouse(window, WM_LBUTTONUP, 303, 50);
        ticks(1);
        softwin::sendMouse(window, WM_LBUTTONDOWN, 58, 97);
        softwin::sendMouse(window, WM_LBUTTONUP, 58, 97);
    });
    EXPECT_TRUE(handler.calls.empty());
    plugin->controller->setParamNormalized(1, 0.25);
    const std::vector<EditHandler::Call> rest = {{'p', 3, 30.0 / 128}, {'e', 3, 0.0},
                                                 {'b', 5, 0.0}, {'p', 5, 1.0}, {'e', 5, 0.0}};
    EXPECT_EQ(handler.calls, rest);

    // A handler replaced in the middle of a drag: the old one hears it end,
    // the new one hears it begin at the next hand-over.
    onEditorThread([&] {
        softwin::sendMouse(window, WM_LBUTTONDOWN, 170, 70);
        ticks(1);
        softwin::sendMouse(window, WM_MOUSEMOVE, 170, 60);
        ticks(2);
    });
    handler.calls.clear();
    EditHandler next;
    plugin->controller->setComponentHandler(&next);
    ASSERT_GE(handler.calls.size(), 2u);
    EXPECT_EQ(handler.calls.front(), (EditHandler::Call{'b', 1, 0.0}));
    EXPECT_EQ(handler.calls.back(), (EditHandler::Call{'e', 1, 0.0}));
    onEditorThread([&] {
        softwin::sendMouse(window, WM_MOUSEMOVE, 170, 55);
        ticks(2);
    });
    plugin->controller->getParamNormalized(0);
    ASSERT_EQ(next.calls.size(), 2u);
    EXPECT_EQ(next.calls[0], (EditHandler::Call{'b', 1, 0.0}));
    EXPECT_EQ(next.calls[1].what, 'p');
    // Removing the view ends the drag for the host that has it.
    view->removed();
    EXPECT_EQ(next.calls.back(), (EditHandler::Call{'e', 1, 0.0}));
    plugin->controller->setComponentHandler(nullptr);
    EXPECT_EQ(next.references, 0);
}

// A host's content scale: the view asks for that much more room and draws
// the larger artwork, the same frame the VST 2 editor draws at that scale.
TEST_F(Vst3EditorView, ContentScaleSizesAndDrawsTheView) {
    void* scaling = nullptr;
    ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport::iid.bytes, &scaling), kResultOk);
    auto* content = static_cast<IPlugViewContentScaleSupport*>(scaling);
    RunLoopFrame frame;
    ASSERT_EQ(view->setFrame(&frame), kResultOk);
    EXPECT_EQ(content->setContentScaleFactor(0.0f), kInvalidArgument);
    EXPECT_EQ(content->setContentScaleFactor(2.0f), kResultTrue);
    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.right, 1000);
    EXPECT_EQ(size.bottom, 280);
    ASSERT_EQ(frame.resizes.size(), 1u);
    EXPECT_EQ(frame.resizes[0].right, 1000);

    softwin::Image expected;
    {
        AEffect* effect = createEffectInstance([](AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) -> intptr_t {
            return opcode == audioMasterVersion ? 2400 : 0;
        });
        ASSERT_NE(effect, nullptr);
        expected = *snapshot::captureEditor(effect, 3, "2");
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    HWND window = attach();
    ticks(3);
    EXPECT_TRUE(*softwin::windowPixels(window) == expected) << "the 2x frame differs from the VST 2 editor's";

    // Scaled again while attached: made again at the new size, the host told.
    EXPECT_EQ(content->setContentScaleFactor(1.4f), kResultTrue);  // nearest drawn: 1.5
    window = softwin::lastWindow("varnoxclass");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(softwin::windowPixels(window)->width, 750);
    ASSERT_EQ(frame.resizes.size(), 2u);
    EXPECT_EQ(frame.resizes[1].right, 750);
    EXPECT_EQ(frame.resizes[1].bottom, 210);
    EXPECT_EQ(content->setContentScaleFactor(1.5f), kResultTrue);
    EXPECT_EQ(frame.resizes.size(), 2u) << "the same drawn size asks for nothing";
    view->removed();
    view->setFrame(nullptr);
    content->release();
}

// Linux hosts offer their run loop through the frame: the view registers its
// tick there while attached and takes it back when removed.
TEST_F(Vst3EditorView, RunLoopTimerWhileAttached) {
    RunLoopFrame frame;
    ASSERT_EQ(view->setFrame(&frame), kResultOk);
    attach();
    ASSERT_EQ(frame.timers.size(), 1u);
    EXPECT_EQ(frame.timers[0].second, 50u) << "the host's timer wakes once a tick, not polling";
    EXPECT_TRUE(frame.eventHandlers.empty()) << "a window of the software layer alone has no input to watch";
    frame.timers[0].first->onTimer();
    EXPECT_GE(frame.references, 1);
    view->removed();
    EXPECT_TRUE(frame.timers.empty());
    EXPECT_TRUE(frame.eventHandlers.empty());
    EXPECT_EQ(frame.references, 0);
}

}  // namespace
