// The editor in a real X11 window as a CLAP host embeds it: no thread of its
// own where the host offers timers and descriptor watching, its input and
// ticks through them on the host's main thread, its gestures reaching the
// host as gesture and value events through params.flush. The pictures are
// the software layer's, pixel for pixel, at 1x and 2x.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <thread>

#include "tests/clap/clap_host.h"
#include "tests/x11/x11_support.h"
#include "tests/x11/x_host.h"

namespace {

using namespace std::chrono_literals;
using namespace claphost;

constexpr int kOriginX = 40, kOriginY = 200;
constexpr clap_id kDriveId = 3;

class ClapEditor : public ClapTest {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        xhost = std::make_unique<XHost>();
        ASSERT_TRUE(xhost->ok());
        window = xhost->createWindow(2 * kEditorWidth, 2 * kEditorHeight, nullptr, 0, kOriginX, kOriginY);
    }
    void TearDown() override {
        plugin.reset();
        ClapTest::TearDown();
    }
    void makePlugin() {
        plugin = std::make_unique<Plugin>(host);
        gui = plugin->extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
        ASSERT_NE(gui, nullptr);
    }
    bool attach() {
        const clap_window_t parent{CLAP_WINDOW_API_X11, {}};
        clap_window_t embedding = parent;
        embedding.x11 = window;
        return gui->set_parent(plugin->get(), &embedding);
    }

    /// One turn of the host's main loop: the watched descriptor when it is
    /// readable (waiting up to the timer's period), then the timer; then
    /// the flush the plug-in asked for.
    void turn() {
        ASSERT_EQ(host.timers.size(), 1u);
        const Host::Timer timer = host.timers[0];
        const auto* timers = plugin->extension<clap_plugin_timer_support_t>(CLAP_EXT_TIMER_SUPPORT);
        const auto* fds = plugin->extension<clap_plugin_posix_fd_support_t>(CLAP_EXT_POSIX_FD_SUPPORT);
        if (!host.descriptors.empty()) {
            pollfd watched{host.descriptors[0], POLLIN, 0};
            if (poll(&watched, 1, static_cast<int>(timer.period)) > 0)
                fds->on_fd(plugin->get(), watched.fd, CLAP_POSIX_FD_READ);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(timer.period));
        }
        timers->on_timer(plugin->get(), timer.id);
        if (host.flushRequests.exchange(0) > 0) {
            const InputEvents none;
            plugin->params().flush(plugin->get(), none.list(), edits.list());
        }
    }
    bool turnUntil(const std::function<bool()>& done) { return waitFor(done, 15s, [&] { turn(); }, 0ms); }
    void pointerTo(int x, int y) const { xhost->pointerTo(kOriginX + x, kOriginY + y); }

    std::unique_ptr<XHost> xhost;
    Window window = 0;
    std::unique_ptr<Plugin> plugin;
    const clap_plugin_gui_t* gui = nullptr;
    OutputEvents edits;
};

TEST_F(ClapEditor, EmbeddedOnlyInTheSystemsWindows) {
    makePlugin();
    const clap_plugin_t* p = plugin->get();
    EXPECT_TRUE(gui->is_api_supported(p, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE(gui->is_api_supported(p, CLAP_WINDOW_API_X11, true)) << "not floating";
    EXPECT_FALSE(gui->is_api_supported(p, CLAP_WINDOW_API_WIN32, false));
    EXPECT_FALSE(gui->is_api_supported(p, "wayland", false));
    const char* api = nullptr;
    bool floating = true;
    ASSERT_TRUE(gui->get_preferred_api(p, &api, &floating));
    EXPECT_STREQ(api, CLAP_WINDOW_API_X11);
    EXPECT_FALSE(floating);
    EXPECT_FALSE(gui->create(p, CLAP_WINDOW_API_X11, true));
    EXPECT_FALSE(attach()) << "no parent before create";
    ASSERT_TRUE(gui->create(p, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE(gui->create(p, CLAP_WINDOW_API_X11, false)) << "one editor at a time";
    EXPECT_FALSE(gui->can_resize(p));
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(gui->get_size(p, &w, &h));
    EXPECT_EQ(w, 500u);
    EXPECT_EQ(h, 140u);
    EXPECT_TRUE(gui->set_size(p, 500, 140));
    EXPECT_FALSE(gui->set_size(p, 600, 140));
    // An X11 parent that does not exist: no editor, nothing left registered.
    clap_window_t missing{CLAP_WINDOW_API_X11, {}};
    missing.x11 = window + 1000;
    EXPECT_FALSE(gui->set_parent(p, &missing));
    EXPECT_TRUE(host.timers.empty());
    EXPECT_TRUE(host.descriptors.empty());
    gui->destroy(p);
}

TEST_F(ClapEditor, DrawsAndTakesInputOnTheHostsMainThread) {
    makePlugin();
    const clap_plugin_t* p = plugin->get();
    const std::size_t threadsBefore = threadCount();
    ASSERT_TRUE(gui->create(p, CLAP_WINDOW_API_X11, false));
    ASSERT_TRUE(gui->set_scale(p, 1.0));
    ASSERT_TRUE(attach());
    ASSERT_TRUE(gui->show(p));
    EXPECT_EQ(threadCount(), threadsBefore) << "the host's loop drives the window: no thread of its own";
    ASSERT_EQ(host.timers.size(), 1u);
    ASSERT_EQ(host.descriptors.size(), 1u) << "the window's input descriptor is watched";
    ASSERT_EQ(xhost->children(window).size(), 1u);

    const softwin::Image expected = softwareFrame(EffectState{});
    softwin::Image seen;
    EXPECT_TRUE(turnUntil([&] { return (seen = xhost->capture(window, kEditorWidth, kEditorHeight)) == expected; }))
        << difference(seen, expected);

    // A drag on the Drive knob with the server's pointer: 30 pixels up, 30 steps.
    pointerTo(303, 70);
    xhost->button(1, true);
    ASSERT_TRUE(turnUntil([&] { return !edits.events.empty(); }));
    pointerTo(303, 40);
    ASSERT_TRUE(turnUntil([&] { return edits.events.back() == paramValue(kDriveId, 30.0); }));
    xhost->button(1, false);
    ASSERT_TRUE(turnUntil([&] { return edits.events.back().type == CLAP_EVENT_PARAM_GESTURE_END; }));
    EXPECT_EQ(edits.events.front(), gesture(CLAP_EVENT_PARAM_GESTURE_BEGIN, kDriveId));
    EXPECT_EQ(edits.events.back(), gesture(CLAP_EVENT_PARAM_GESTURE_END, kDriveId));
    for (std::size_t i = 1; i + 1 < edits.events.size(); ++i) EXPECT_EQ(edits.events[i].type, CLAP_EVENT_PARAM_VALUE);
    EXPECT_EQ(plugin->value(kDriveId), 30.0);

    gui->destroy(p);
    EXPECT_TRUE(host.timers.empty());
    EXPECT_TRUE(host.descriptors.empty());
    EXPECT_TRUE(xhost->children(window).empty()) << "destroying the editor removes its window";
}

// The host's scale: the editor at 2x is the 2x picture; set while the window
// is open, the window is made again at the new size in the same parent.
TEST_F(ClapEditor, DrawsAtTheHostsScale) {
    makePlugin();
    const clap_plugin_t* p = plugin->get();
    ASSERT_TRUE(gui->create(p, CLAP_WINDOW_API_X11, false));
    ASSERT_TRUE(gui->set_scale(p, 1.0));
    ASSERT_TRUE(attach());
    ASSERT_TRUE(gui->set_scale(p, 2.0));
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(gui->get_size(p, &w, &h));
    EXPECT_EQ(w, 1000u);
    EXPECT_EQ(h, 280u);
    ASSERT_EQ(host.timers.size(), 1u);
    ASSERT_EQ(host.descriptors.size(), 1u);
    ASSERT_EQ(xhost->children(window).size(), 1u);
    const softwin::Image expected = softwareFrame(EffectState{}, {}, 60, "2");
    softwin::Image seen;
    EXPECT_TRUE(turnUntil([&] { return (seen = xhost->capture(window, 1000, 280)) == expected; }))
        << difference(seen, expected);
    EXPECT_FALSE(gui->set_scale(p, 0.0));
    gui->destroy(p);
}

// A host without timers and descriptor watching leaves the window its own
// event thread; the edits still reach the host, through flush.
TEST_F(ClapEditor, WithoutTheHostsLoopTheWindowTicksOnItsOwn) {
    host.offerTimers = false;
    makePlugin();
    const clap_plugin_t* p = plugin->get();
    ASSERT_TRUE(gui->create(p, CLAP_WINDOW_API_X11, false));
    ASSERT_TRUE(gui->set_scale(p, 1.0));
    ASSERT_TRUE(attach());
    EXPECT_TRUE(host.descriptors.empty());
    const softwin::Image expected = softwareFrame(EffectState{});
    softwin::Image seen;
    EXPECT_TRUE(waitFor([&] { return (seen = xhost->capture(window, kEditorWidth, kEditorHeight)) == expected; }, 15s))
        << difference(seen, expected);
    gui->destroy(p);
    EXPECT_TRUE(xhost->children(window).empty());
}

// A host that offers timers but refuses to register one: rather than a
// window nobody ticks, the editor runs on its own thread after all.
TEST_F(ClapEditor, ATimerRefusedLeavesTheWindowToItself) {
    host.refuseTimers = true;
    makePlugin();
    const clap_plugin_t* p = plugin->get();
    ASSERT_TRUE(gui->create(p, CLAP_WINDOW_API_X11, false));
    ASSERT_TRUE(gui->set_scale(p, 1.0));
    const std::size_t threadsBefore = threadCount();
    ASSERT_TRUE(attach());
    EXPECT_EQ(threadCount(), threadsBefore + 1) << "the window's own event thread";
    EXPECT_TRUE(host.descriptors.empty()) << "nothing left registered";
    EXPECT_EQ(xhost->children(window).size(), 1u);
    const softwin::Image expected = softwareFrame(EffectState{});
    softwin::Image seen;
    EXPECT_TRUE(waitFor([&] { return (seen = xhost->capture(window, kEditorWidth, kEditorHeight)) == expected; }, 15s))
        << difference(seen, expected);
    gui->destroy(p);
}

// The host's thread check itself: a main-thread call from another thread is
// caught (and then forgiven, so this test passes).
TEST_F(ClapTest, ThreadCheckCatchesCallsFromOtherThreads) {
    const auto* timers = static_cast<const clap_host_timer_support_t*>(
        host.record()->get_extension(host.record(), CLAP_EXT_TIMER_SUPPORT));
    std::thread([&] {
        clap_id id;
        timers->register_timer(host.record(), 10, &id);
    }).join();
    ASSERT_EQ(host.violations.size(), 1u);
    EXPECT_EQ(host.violations[0], "timer-support.register_timer");
    host.violations.clear();
    host.timers.clear();
}

}  // namespace
