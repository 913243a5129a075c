// The X11 face in this process: windows driven by their caller instead of
// an event thread, exposure, visuals other than the screen's default, a
// display that goes away, a window that destroys itself from its own tick,
// and the mouse messages X11 input becomes.
// GoogleTest before Xlib, whose None macro its headers cannot take.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "editor/skin_editor.h"
#include "engine/shaper_effect.h"
#include "host/effect_base.h"
#include "platform/x11_face.h"
#include "product/shaper_effect_edit.h"
#include "tests/x11/x11_support.h"
#include "tests/x11/x_host.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kDeadline = 15s;

intptr_t VSTCALLBACK versionOnly(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// An instance of the effect built into this test, so that its editor's
// window can be looked into.
class InProcessEffect {
public:
    InProcessEffect() : record_(createEffectInstance(&versionOnly)) {}
    ~InProcessEffect() { record_->dispatcher(record_, effClose, 0, 0, nullptr, 0.0f); }
    InProcessEffect(const InProcessEffect&) = delete;
    InProcessEffect& operator=(const InProcessEffect&) = delete;

    intptr_t open(Window parent) const {
        return record_->dispatcher(record_, effEditOpen, 0, 0, reinterpret_cast<void*>(parent), 0.0f);
    }
    void close() const { record_->dispatcher(record_, effEditClose, 0, 0, nullptr, 0.0f); }
    SkinEditor& editor() const {
        return static_cast<SkinEditor&>(*EffectBase::fromRecord(record_)->editor());
    }
    HWND window() const { return editor().window; }
    AEffect* record() const { return record_; }

private:
    AEffect* record_;
};

// Drives a caller-driven window as a run loop would, until `done` or the deadline.
bool driveUntil(HWND window, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        const int wait = x11face::fireDueTimers(window);
        pollfd p{x11face::eventDescriptor(window), POLLIN, 0};
        if (::poll(&p, 1, wait < 0 ? 10 : std::min(wait, 10)) > 0) x11face::handleEvents(window);
    }
    return true;
}

class X11Face : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        host = std::make_unique<XHost>();
        ASSERT_TRUE(host->ok());
        window = host->createWindow(kEditorWidth, kEditorHeight);
    }
    softwin::Image frame() const { return host->capture(window, kEditorWidth, kEditorHeight); }

    std::unique_ptr<XHost> host;
    Window window = 0;
};

TEST_F(X11Face, CallerDrivenWindowRunsOnlyWhenDriven) {
    const std::size_t threads = threadCount();
    InProcessEffect effect;
    {
        const x11face::DriveScope byCaller(x11face::Drive::byCaller);
        ASSERT_EQ(effect.open(window), 1);
    }
    const HWND editor = effect.window();
    EXPECT_EQ(threadCount(), threads);
    EXPECT_GE(x11face::eventDescriptor(editor), 0);
    EXPECT_TRUE(x11face::isShown(editor));

    // Nothing is drawn until the caller fires the timer.
    std::this_thread::sleep_for(120ms);
    EXPECT_EQ(frame().pixel(250, 70), kHostBackground);
    const softwin::Image expected = softwareFrame({});
    softwin::Image seen;
    EXPECT_TRUE(driveUntil(editor, [&] { return (seen = frame()) == expected; })) << difference(seen, expected);
    const int wait = x11face::fireDueTimers(editor);
    EXPECT_GE(wait, 0);
    EXPECT_LE(wait, 50);

    // Input waits for the caller too.
    host->click(1, 58, 97);  // Boost
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(effect.record()->getParameter(effect.record(), 5), 0.0f);
    EXPECT_TRUE(driveUntil(editor, [&] { return effect.record()->getParameter(effect.record(), 5) == 1.0f; }));
    effect.close();
    EXPECT_TRUE(host->children(window).empty());
}

TEST_F(X11Face, TimersFollowTheirOwnClock) {
    // A window of the layer alone ticks on advance() only, an X11 window on
    // real time only.
    struct Counter {
        static LRESULT CALLBACK proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_TIMER) ++ticks()[w];
            return DefWindowProcA(w, message, wParam, lParam);
        }
        static std::map<HWND, int>& ticks() {
            static std::map<HWND, int> counts;
            return counts;
        }
    };
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Counter::proc;
    windowClass.lpszClassName = "x11facecounter";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    const HWND alone = CreateWindowExA(0, "x11facecounter", "", WS_CHILD, 0, 0, 8, 8, nullptr, nullptr, nullptr,
                                       nullptr);
    HWND embedded = nullptr;
    {
        const x11face::DriveScope byCaller(x11face::Drive::byCaller);
        embedded = CreateWindowExA(0, "x11facecounter", "", WS_CHILD | WS_VISIBLE, 0, 0, 8, 8,
                                   reinterpret_cast<HWND>(window), nullptr, nullptr, nullptr);
    }
    ASSERT_NE(alone, nullptr);
    ASSERT_NE(embedded, nullptr);
    SetTimer(alone, 1, 50, nullptr);
    SetTimer(embedded, 1, 50, nullptr);

    std::this_thread::sleep_for(120ms);
    EXPECT_EQ(x11face::fireDueTimers(alone), -1);
    EXPECT_EQ(Counter::ticks()[alone], 0);
    EXPECT_GE(x11face::fireDueTimers(embedded), 0);
    EXPECT_EQ(Counter::ticks()[embedded], 1);  // two periods missed merge into one tick
    softwin::advance(1000);
    EXPECT_EQ(Counter::ticks()[alone], 1);
    EXPECT_EQ(Counter::ticks()[embedded], 1);

    DestroyWindow(alone);
    DestroyWindow(embedded);
    EXPECT_TRUE(host->children(window).empty());
    EXPECT_TRUE(UnregisterClassA("x11facecounter", nullptr));
}

TEST_F(X11Face, ExposureShowsTheLastFrameAtOnceAndAsksForAFullOne) {
    InProcessEffect effect;
    {
        const x11face::DriveScope byCaller(x11face::Drive::byCaller);
        ASSERT_EQ(effect.open(window), 1);
    }
    const HWND editor = effect.window();
    const softwin::Image expected = softwareFrame({});
    ASSERT_TRUE(driveUntil(editor, [&] { return frame() == expected; }));

    // Another window covers the editor and goes: the server cannot restore
    // what was under it and says so with an Expose.
    const Window cover = host->createWindow(kEditorWidth + 20, kEditorHeight + 20);
    host->destroyWindow(cover);
    EXPECT_NE(frame(), expected) << "nothing was lost: the test proves nothing";
    ASSERT_EQ(effect.editor().redrawMode, 0);
    // Handling the events alone, without a tick, brings the frame back.
    softwin::Image seen;
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while ((seen = frame()) != expected && std::chrono::steady_clock::now() < deadline) {
        pollfd p{x11face::eventDescriptor(editor), POLLIN, 0};
        if (::poll(&p, 1, 10) > 0) x11face::handleEvents(editor);
    }
    EXPECT_EQ(seen, expected) << difference(seen, expected);
    EXPECT_EQ(effect.editor().redrawMode, 1);  // WM_PAINT: the next tick repaints in full
    effect.close();
}

TEST_F(X11Face, ParentsOfOtherVisuals) {
    struct Case {
        const char* name;
        int depth;
        int visualClass;
    };
    const Case cases[] = {
        {"32-bit TrueColor with alpha", 32, TrueColor},
        {"DirectColor: the editor takes the screen's default visual", 24, DirectColor},
    };
    const softwin::Image expected = softwareFrame({});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Visual* visual = host->findVisual(c.depth, c.visualClass);
        if (!visual) {
            ADD_FAILURE() << "the server offers no such visual";
            continue;
        }
        const Window parent = host->createWindow(kEditorWidth, kEditorHeight, visual, c.depth);
        InProcessEffect effect;
        ASSERT_EQ(effect.open(parent), 1);
        const std::vector<Window> children = host->children(parent);
        ASSERT_EQ(children.size(), 1u);
        softwin::Image seen;
        EXPECT_TRUE(waitFor([&] { return (seen = host->capture(children[0], kEditorWidth, kEditorHeight)) == expected; },
                            kDeadline))
            << difference(seen, expected);
        effect.close();
        host->destroyWindow(parent);
    }
}

TEST(X11FaceScreens, SixteenBitScreenShowsTheFrameQuantised) {
    PrivateDisplay display(16, 640, 480);
    if (!display.ok()) GTEST_SKIP() << display.error();
    XHost host(display.name().c_str());
    ASSERT_TRUE(host.ok());
    const Window window = host.createWindow(kEditorWidth, kEditorHeight);
    softwin::Image expected = softwareFrame({});
    for (std::size_t i = 0; i < expected.rgb.size(); ++i) expected.rgb[i] &= i % 3 == 1 ? 0xfc : 0xf8;  // 5-6-5

    const std::string previous = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    ::setenv("DISPLAY", display.name().c_str(), 1);
    InProcessEffect effect;
    ASSERT_EQ(effect.open(window), 1);
    ::setenv("DISPLAY", previous.c_str(), 1);
    softwin::Image seen;
    EXPECT_TRUE(waitFor([&] { return (seen = host.capture(window, kEditorWidth, kEditorHeight)) == expected; },
                        kDeadline))
        << difference(seen, expected);
    effect.close();
}

TEST(X11FaceScreens, DisplayGoingAwayLeavesTheEditorInMemory) {
    PrivateDisplay display;
    if (!display.ok()) GTEST_SKIP() << display.error();
    Window window = 0;
    {
        // The host's connection leaves first, its window stays behind.
        XHost host(display.name().c_str());
        ASSERT_TRUE(host.ok());
        window = host.createWindow(kEditorWidth, kEditorHeight);
        XSetCloseDownMode(host.display(), RetainPermanent);
    }
    const std::size_t descriptors = openDescriptors();
    const std::size_t threads = threadCount();
    const std::string previous = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    ::setenv("DISPLAY", display.name().c_str(), 1);
    {
        InProcessEffect effect;
        ASSERT_EQ(effect.open(window), 1);
        ::setenv("DISPLAY", previous.c_str(), 1);
        const HWND editor = effect.window();
        EXPECT_TRUE(x11face::isShown(editor));
        display.stop();
        EXPECT_TRUE(waitFor([&] { return !x11face::isShown(editor); }, kDeadline));
        // Still ticking: a new Drive lights the tube, frame by frame.
        const softwin::Image before = *softwin::windowPixels(editor);
        effect.record()->setParameter(effect.record(), 3, 1.0f);
        EXPECT_TRUE(waitFor([&] { return *softwin::windowPixels(editor) != before; }, kDeadline));
        effect.close();
        EXPECT_FALSE(softwin::isWindow(editor));
    }
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_EQ(threadCount(), threads);
}

// Records the mouse messages a window receives; destroys itself from a tick when asked.
struct Recorder {
    struct Message {
        UINT message;
        WPARAM keys;
        int x, y;
        bool operator==(const Message& o) const {
            return message == o.message && keys == o.keys && x == o.x && y == o.y;
        }
    };
    static std::vector<Message>& messages() {
        static std::vector<Message> list;
        return list;
    }
    static inline bool destroyOnTick = false;
    static LRESULT CALLBACK proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
        if ((message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL) || message == WM_MOUSELEAVE)
            messages().push_back({message, wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (message == WM_TIMER && destroyOnTick) DestroyWindow(w);
        return DefWindowProcA(w, message, wParam, lParam);
    }
};

class X11FaceInput : public X11Face {
protected:
    void SetUp() override {
        X11Face::SetUp();
        if (IsSkipped()) return;
        Recorder::messages().clear();
        Recorder::destroyOnTick = false;
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Recorder::proc;
        windowClass.lpszClassName = "x11facerecorder";
        ASSERT_NE(RegisterClassA(&windowClass), 0);
    }
    void TearDown() override {
        if (IsSkipped()) return;
        for (HWND w : softwin::liveWindows()) {
            if (softwin::windowClassName(w) == "x11facerecorder") DestroyWindow(w);
        }
        EXPECT_TRUE(UnregisterClassA("x11facerecorder", nullptr));
    }
    HWND create(HWND parent) const {
        return CreateWindowExA(0, "x11facerecorder", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 60, parent, nullptr,
                               nullptr, nullptr);
    }
};

TEST_F(X11FaceInput, MouseMessagesCarryWin32KeyStateAndSignedCoordinates) {
    // Away from the screen's edge, so that the pointer can go above and left of it.
    constexpr int kX = 100, kY = 100;
    const Window parent = host->createWindow(kEditorWidth, kEditorHeight, nullptr, 0, kX, kY);
    HWND target = nullptr;
    {
        const x11face::DriveScope byCaller(x11face::Drive::byCaller);
        target = create(reinterpret_cast<HWND>(parent));
    }
    ASSERT_NE(target, nullptr);
    const auto to = [&](int x, int y) { host->pointerTo(kX + x, kY + y); };
    constexpr WPARAM kL = 0x0001, kR = 0x0002;
    // Each action, and the messages it must bring.
    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<Recorder::Message> expected;
    };
    const std::vector<Step> steps = {
        {"move inside", [&] { to(10, 20); }, {{WM_MOUSEMOVE, 0, 10, 20}}},
        {"left press", [&] { host->button(1, true); }, {{WM_LBUTTONDOWN, kL, 10, 20}}},
        {"dragged out above and left", [&] { to(-40, -50); }, {{WM_MOUSEMOVE, kL, -40, -50}}},
        {"right press while held", [&] { host->button(3, true); }, {{WM_RBUTTONDOWN, kL | kR, -40, -50}}},
        {"left release", [&] { host->button(1, false); }, {{WM_LBUTTONUP, kR, -40, -50}}},
        {"beyond the window", [&] { to(700, 300); }, {{WM_MOUSEMOVE, kR, 700, 300}}},
        {"right release outside", [&] { host->button(3, false); }, {{WM_RBUTTONUP, 0, 700, 300}}},
        {"outside without a button: nothing", [&] { to(650, 320); }, {}},
        {"middle button: nothing",
         [&] {
             to(30, 30);
             host->button(2, true), host->button(2, false);
             to(31, 30);
         },
         {{WM_MOUSEMOVE, 0, 30, 30}, {WM_MOUSEMOVE, 0, 31, 30}}},
        // The wheel's position is the screen's, as on Win32; ScreenToClient takes it back.
        {"wheel away and toward",
         [&] {
             for (unsigned b : {4u, 5u}) host->button(b, true), host->button(b, false);
         },
         {{WM_MOUSEWHEEL, static_cast<DWORD>(MAKELONG(0, WHEEL_DELTA)), kX + 31, kY + 30},
          {WM_MOUSEWHEEL, static_cast<DWORD>(MAKELONG(0, -WHEEL_DELTA)), kX + 31, kY + 30}}},
        {"left double click, on a class without CS_DBLCLKS",
         [&] { host->button(1, true), host->button(1, false), host->button(1, true), host->button(1, false); },
         {{WM_LBUTTONDOWN, kL, 31, 30}, {WM_LBUTTONUP, 0, 31, 30}, {WM_LBUTTONDOWN, kL, 31, 30},
          {WM_LBUTTONUP, 0, 31, 30}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        Recorder::messages().clear();
        step.act();
        XSync(host->display(), False);
        driveUntil(target, [&] { return Recorder::messages().size() >= step.expected.size(); });
        // Anything more would have arrived with what was expected.
        x11face::handleEvents(target);
        EXPECT_EQ(Recorder::messages(), step.expected);
    }
}

// What the editor asks of the window system beyond plain input: double
// clicks for a class that wants them, one WM_MOUSELEAVE per TrackMouseEvent,
// where the window is on the screen, and whether anything of it can be seen.
TEST_F(X11FaceInput, DoubleClicksLeavingAndVisibility) {
    constexpr int kX = 60, kY = 90;
    WNDCLASSA doubleClicks{};
    doubleClicks.style = CS_DBLCLKS;
    doubleClicks.lpfnWndProc = Recorder::proc;
    doubleClicks.lpszClassName = "x11facedoubleclicks";
    ASSERT_NE(RegisterClassA(&doubleClicks), 0);
    const Window parent = host->createWindow(kEditorWidth, kEditorHeight, nullptr, 0, kX, kY);
    HWND target = nullptr;
    {
        const x11face::DriveScope byCaller(x11face::Drive::byCaller);
        target = CreateWindowExA(0, "x11facedoubleclicks", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 60,
                                 reinterpret_cast<HWND>(parent), nullptr, nullptr, nullptr);
    }
    ASSERT_NE(target, nullptr);
    const auto settle = [&](std::size_t count) {
        XSync(host->display(), False);
        driveUntil(target, [&] { return Recorder::messages().size() >= count; });
        x11face::handleEvents(target);
    };
    const auto messagesOf = [](UINT message) {
        std::size_t n = 0;
        for (const Recorder::Message& m : Recorder::messages()) n += m.message == message;
        return n;
    };

    host->pointerTo(kX + 20, kY + 20);
    for (int press = 0; press < 3; ++press) host->button(1, true), host->button(1, false);
    settle(7);
    EXPECT_EQ(messagesOf(WM_LBUTTONDBLCLK), 1u) << "the second press; the third starts over";
    EXPECT_EQ(messagesOf(WM_LBUTTONDOWN), 2u);
    POINT point{kX + 25, kY + 26};
    EXPECT_TRUE(ScreenToClient(target, &point));
    EXPECT_EQ(point.x, 25);
    EXPECT_EQ(point.y, 26);

    Recorder::messages().clear();
    TRACKMOUSEEVENT request{sizeof request, TME_LEAVE, target, 0};
    ASSERT_TRUE(TrackMouseEvent(&request));
    host->pointerTo(kX + 300, kY + 20);  // out of the window, still over the parent
    host->pointerTo(kX + 20, kY + 20);
    host->pointerTo(kX + 300, kY + 20);
    settle(3);
    EXPECT_EQ(messagesOf(WM_MOUSELEAVE), 1u) << "one leave per request";

    EXPECT_TRUE(IsWindowVisible(target));
    XUnmapWindow(host->display(), parent);
    XSync(host->display(), False);
    EXPECT_FALSE(IsWindowVisible(target)) << "an unmapped parent hides the window";
    XMapWindow(host->display(), parent);
    XSync(host->display(), False);
    EXPECT_TRUE(IsWindowVisible(target));
    ShowWindow(target, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(target));
    DestroyWindow(target);
    EXPECT_TRUE(UnregisterClassA("x11facedoubleclicks", nullptr));
}

TEST_F(X11FaceInput, WindowDestroyingItselfFromItsOwnTick) {
    const std::size_t threads = threadCount();
    const std::size_t descriptors = openDescriptors();
    for (const x11face::Drive drive : {x11face::Drive::ownThread, x11face::Drive::byCaller}) {
        HWND target = nullptr;
        {
            const x11face::DriveScope scope(drive);
            target = create(reinterpret_cast<HWND>(window));
        }
        ASSERT_NE(target, nullptr);
        Recorder::destroyOnTick = true;
        SetTimer(target, 7, 10, nullptr);
        if (drive == x11face::Drive::byCaller) driveUntil(target, [&] { return !softwin::isWindow(target); });
        EXPECT_TRUE(waitFor([&] { return !softwin::isWindow(target); }, kDeadline));
        EXPECT_TRUE(waitFor([&] { return host->children(window).empty(); }, kDeadline));
        // The thread that destroyed its own window ends by itself.
        EXPECT_TRUE(waitFor([&] { return threadCount() == threads && openDescriptors() == descriptors; }, kDeadline));
    }
}

}  // namespace
