// The VST 3 view in a real X11 window, driven by the host's run loop as Linux
// VST 3 hosts drive it: no thread of the editor's own, its input through the
// descriptor the host watches, its ticks through the host's timer, and every
// edit reaching the host on the host's own thread.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <thread>

#include "tests/vst3/vst3_host.h"
#include "tests/x11/x11_support.h"
#include "tests/x11/x_host.h"
#include "vst3/factory.h"

namespace {

using namespace std::chrono_literals;
using namespace vst3host;

constexpr int kOriginX = 40, kOriginY = 200;
constexpr ParamID kDriveId = 3;

class RunLoopView : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        host = std::make_unique<XHost>();
        ASSERT_TRUE(host->ok());
        window = host->createWindow(kEditorWidth, kEditorHeight, nullptr, 0, kOriginX, kOriginY);
        plugin = std::make_unique<Plugin>(vst3face::pluginFactory());
        plugin->controller->setComponentHandler(&handler);
        view = plugin->controller->createView("editor");
        ASSERT_NE(view, nullptr);
        ASSERT_EQ(view->setFrame(&frame), kResultOk);
    }
    void TearDown() override {
        if (view) view->release();
        plugin.reset();
    }

    /// One turn of the host's run loop: the watched descriptor when it is
    /// readable (waiting up to the timer's period), then the timer.
    void turn() {
        ASSERT_EQ(frame.timers.size(), 1u);
        const auto period = static_cast<int>(frame.timers[0].second);
        if (!frame.eventHandlers.empty()) {
            pollfd watched{frame.eventHandlers[0].second, POLLIN, 0};
            if (poll(&watched, 1, period) > 0) frame.eventHandlers[0].first->onFDIsSet(watched.fd);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(period));
        }
        frame.timers[0].first->onTimer();
    }
    bool turnUntil(const std::function<bool()>& done) {
        return waitFor(done, 15s, [&] { turn(); }, 0ms);
    }
    void pointerTo(int x, int y) const { host->pointerTo(kOriginX + x, kOriginY + y); }

    std::unique_ptr<XHost> host;
    Window window = 0;
    EditHandler handler;
    RunLoopFrame frame;
    std::unique_ptr<Plugin> plugin;
    IPlugView* view = nullptr;
};

TEST_F(RunLoopView, DrawsAndTakesInputOnTheHostsRunLoop) {
    const std::size_t threadsBefore = threadCount();
    ASSERT_EQ(view->attached(reinterpret_cast<void*>(window), "X11EmbedWindowID"), kResultOk);
    EXPECT_EQ(threadCount(), threadsBefore) << "the run loop drives the window: no thread of its own";
    ASSERT_EQ(frame.eventHandlers.size(), 1u) << "the window's input descriptor is watched";
    ASSERT_EQ(host->children(window).size(), 1u);

    // The settled editor of program 0, as the software layer draws it.
    const softwin::Image expected = softwareFrame(EffectState{});
    softwin::Image seen;
    EXPECT_TRUE(turnUntil([&] { return (seen = host->capture(window, kEditorWidth, kEditorHeight)) == expected; }))
        << difference(seen, expected);

    // A drag on the Drive knob with the server's pointer: 30 pixels up.
    const std::thread::id hostThread = std::this_thread::get_id();
    pointerTo(303, 70);
    host->button(1, true);
    ASSERT_TRUE(turnUntil([&] { return !handler.calls.empty(); }));
    pointerTo(303, 40);
    const double dragged = 30.0 / 128.0;
    ASSERT_TRUE(turnUntil([&] { return handler.calls.back() == EditHandler::Call{'p', kDriveId, dragged}; }));
    host->button(1, false);
    ASSERT_TRUE(turnUntil([&] { return handler.calls.back().what == 'e'; }));
    EXPECT_EQ(handler.calls.front(), (EditHandler::Call{'b', kDriveId, 0.0}));
    EXPECT_EQ(handler.calls.back(), (EditHandler::Call{'e', kDriveId, 0.0}));
    EXPECT_EQ(plugin->controller->getParamNormalized(kDriveId), dragged);
    EXPECT_EQ(std::this_thread::get_id(), hostThread);

    ASSERT_EQ(view->removed(), kResultOk);
    EXPECT_TRUE(frame.timers.empty());
    EXPECT_TRUE(frame.eventHandlers.empty());
    EXPECT_TRUE(host->children(window).empty()) << "removing the view removes its window";
}

// Without a run loop from the host the window keeps itself going.
TEST_F(RunLoopView, WithoutARunLoopTheWindowTicksOnItsOwn) {
    ASSERT_EQ(view->setFrame(nullptr), kResultOk);
    ASSERT_EQ(view->attached(reinterpret_cast<void*>(window), "X11EmbedWindowID"), kResultOk);
    const softwin::Image expected = softwareFrame(EffectState{});
    softwin::Image seen;
    EXPECT_TRUE(waitFor([&] { return (seen = host->capture(window, kEditorWidth, kEditorHeight)) == expected; }, 15s))
        << difference(seen, expected);
    ASSERT_EQ(view->removed(), kResultOk);
    EXPECT_TRUE(host->children(window).empty());
}

TEST_F(RunLoopView, NoWindowThereNoView) {
    EXPECT_EQ(view->attached(reinterpret_cast<void*>(window + 1000), "X11EmbedWindowID"), kResultFalse);
    EXPECT_TRUE(frame.timers.empty());
    EXPECT_TRUE(frame.eventHandlers.empty());
    EXPECT_EQ(frame.references, 0) << "the run loop is let go again";
}

}  // namespace
