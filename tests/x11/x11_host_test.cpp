// The editor in a real X11 window, as a Linux host sees it: the shipped
// library loaded through its entry, the editor opened in a top-level window
// of the host's own Xlib connection (which keeps Xlib's default error
// handler, so any X error the plug-in caused there would end the test), the
// window's pixels read back from the server and compared with the software
// layer's picture of the same state, and real pointer input through XTest.
// GoogleTest before Xlib, whose None macro its headers cannot take.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "tests/support/scoped_environment.h"
#include "tests/windows/host_script.h"
#include "tests/x11/x11_support.h"
#include "tests/x11/x_host.h"
#include "tools/common/png_writer.h"

namespace {

using namespace std::chrono_literals;

constexpr unsigned kLeft = 1, kMiddle = 2, kRight = 3, kWheelUp = 4, kWheelDown = 5;
constexpr int kDrive = 3, kAttack = 1, kTimesTwo = 4, kBoost = 5;
// The host's window stands away from the screen's edge, so that the pointer
// can leave it on every side.
constexpr int kOriginX = 40, kOriginY = 200;
// A settled frame needs the readout hold, the LED fades and the tube glow to
// run out: about two seconds of ticks. The deadline leaves room for a
// loaded machine.
constexpr auto kSettle = 15s;

class HostWindow : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        host = std::make_unique<XHost>();
        ASSERT_TRUE(host->ok());
        // Installs the default handler again and says which one was there:
        // the default, as nothing in this process replaces it.
        defaultHandler = XSetErrorHandler(nullptr);
        window = host->createWindow(kEditorWidth, kEditorHeight, nullptr, 0, kOriginX, kOriginY);
        effect = LoadedPlugin::get().create();
        ASSERT_NE(effect, nullptr);
        effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    }
    void TearDown() override {
        if (effect) closeEffect();
        if (host) {
            EXPECT_EQ(XSetErrorHandler(nullptr), defaultHandler) << "the host's X error handler was replaced";
        }
    }

    intptr_t open(Window parent) const {
        return effect->dispatcher(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(parent), 0.0f);
    }
    void close() const { effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f); }
    void idle() const { effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f); }
    void closeEffect() {
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        effect = nullptr;
    }
    float parameter(int index) const { return effect->getParameter(effect, index); }
    /// The pointer to client coordinates of the host's window.
    void pointerTo(int x, int y) const { host->pointerTo(kOriginX + x, kOriginY + y); }

    softwin::Image frame() const { return host->capture(window, kEditorWidth, kEditorHeight); }
    bool showsBackgroundOnly() const {
        const softwin::Image seen = frame();
        for (int y = 0; y < seen.height; ++y) {
            for (int x = 0; x < seen.width; ++x) {
                if (seen.pixel(x, y) != kHostBackground) return false;
            }
        }
        return true;
    }
    /// Waits until the host's window shows `expected`, idling the editor at
    /// `idleHz` (0: never); on failure says how far it was off.
    ::testing::AssertionResult settlesTo(const softwin::Image& expected, int idleHz = 0) const {
        const auto period = idleHz ? std::chrono::milliseconds(1000 / idleHz) : 20ms;
        softwin::Image seen;
        const bool equal = waitFor(
            [&] {
                seen = frame();
                return seen == expected;
            },
            kSettle, [&] { if (idleHz) idle(); }, period);
        if (equal) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the host's window never showed the expected frame: "
                                             << difference(seen, expected);
    }
    /// Waits until a parameter reads `value`.
    bool parameterBecomes(int index, float value) const {
        return waitFor([&] { return parameter(index) == value; }, kSettle);
    }

    std::unique_ptr<XHost> host;
    XErrorHandler defaultHandler = nullptr;
    Window window = 0;
    AEffect* effect = nullptr;
};

TEST_F(HostWindow, SettledEditorEqualsTheSoftwareLayersPicture) {
    struct Case {
        const char* name;
        int idleHz;
        EffectState state;
    };
    const Case cases[] = {
        {"idled at 15 Hz, program 9 with Drive set by the host", 15, {9, {{kDrive, 1.0f}}}},
        {"never idled, program 3 with Times Two switched on", 0, {3, {{kTimesTwo, 1.0f}}}},
    };
    bool first = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!first) {
            closeEffect();
            effect = LoadedPlugin::get().create();
        }
        first = false;
        applyState(effect, c.state);
        ASSERT_EQ(open(window), 1);
        ASSERT_EQ(host->children(window).size(), 1u);
        EXPECT_TRUE(settlesTo(softwareFrame(c.state), c.idleHz));
        close();
        EXPECT_TRUE(host->children(window).empty());
    }
}

// A desktop at 200% (Xft.dpi 192, as desktop toolkits set it) gets the
// editor drawn at 2x, in a window twice the size, pixel for pixel the
// software layer's 2x picture.
TEST_F(HostWindow, DesktopAt192DpiGetsTheEditorAtTwice) {
    const ScopedEnvironment noOverride("VARNOX_SCALE", nullptr);
    Display* display = host->display();
    const Window root = DefaultRootWindow(display);
    const char resources[] = "Xft.antialias:\t1\nXft.dpi:\t192\n";
    XChangeProperty(display, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources), sizeof resources - 1);
    XSync(display, False);

    ERect* rect = nullptr;
    ASSERT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f), 1);
    EXPECT_EQ(rect->right - rect->left, 1000);
    EXPECT_EQ(rect->bottom - rect->top, 280);
    const Window large = host->createWindow(1000, 280, nullptr, 0, kOriginX, kOriginY);
    const EffectState state{9, {{kDrive, 1.0f}}};
    applyState(effect, state);
    ASSERT_EQ(open(large), 1);
    const softwin::Image expected = softwareFrame(state, {}, 60, "2");
    softwin::Image seen;
    EXPECT_TRUE(waitFor([&] { return (seen = host->capture(large, 1000, 280)) == expected; }, kSettle))
        << difference(seen, expected);
    close();
    XDeleteProperty(display, root, XA_RESOURCE_MANAGER);
    XSync(display, False);
    host->destroyWindow(large);
}

// The hover readout goes when the pointer leaves the window; an editor whose
// window was unmapped shows the current state as soon as it is mapped again.
TEST_F(HostWindow, LeavingClearsTheReadoutAndUnmappingIsCaughtUp) {
    const EffectState state{0, {}};
    applyState(effect, state);
    ASSERT_EQ(open(window), 1);
    pointerTo(170, 70);  // over Attack
    EXPECT_TRUE(settlesTo(softwareFrame(state, {{WM_MOUSEMOVE, 170, 70}})));
    pointerTo(-30, 70);  // out to the left, over the screen's root
    EXPECT_TRUE(settlesTo(softwareFrame(state)));

    XUnmapWindow(host->display(), window);
    XSync(host->display(), False);
    effect->setParameter(effect, kDrive, 1.0f);
    std::this_thread::sleep_for(300ms);
    XMapWindow(host->display(), window);
    XSync(host->display(), False);
    EXPECT_TRUE(settlesTo(softwareFrame({0, {{kDrive, 1.0f}}})));
    close();
}

TEST_F(HostWindow, PointerInputFromTheServerOperatesTheEditor) {
    const EffectState state{hostscript::kEditorProgram, {}};
    applyState(effect, state);
    ASSERT_EQ(open(window), 1);
    std::vector<MouseStep> script;  // the same input, replayed on the software layer

    // The Windows host check's script: Boost and Times Two clicked on,
    // Attack right-clicked to the middle, Drive dragged up, the pointer left
    // on the Drive knob. A drag takes its value on the next tick, so each
    // move waits for the value it must give.
    bool leftHeld = false;
    int pressY = 0;
    float pressDrive = 0.0f;
    for (const hostscript::Step& step : hostscript::mouseScript()) {
        pointerTo(step.x, step.y);
        switch (step.action) {
        case hostscript::Mouse::kMove:
            if (leftHeld) {
                const float expected = std::min(128.0f, pressDrive + static_cast<float>(pressY - step.y)) / 128.0f;
                ASSERT_TRUE(parameterBecomes(kDrive, expected)) << "dragged to y " << step.y;
            }
            break;
        case hostscript::Mouse::kLeftDown:
            pressY = step.y;
            pressDrive = parameter(kDrive) * 128.0f;
            host->button(kLeft, true);
            leftHeld = true;
            break;
        case hostscript::Mouse::kLeftUp:
            host->button(kLeft, false);
            leftHeld = false;
            break;
        case hostscript::Mouse::kRightDown:
            host->button(kRight, true);
            break;
        case hostscript::Mouse::kRightUp:
            host->button(kRight, false);
            break;
        }
        script.push_back({hostscript::messageFor(step.action), step.x, step.y, step.ticksAfter});
    }
    EXPECT_EQ(parameter(kBoost), 1.0f);
    EXPECT_EQ(parameter(kTimesTwo), 1.0f);
    EXPECT_EQ(parameter(kAttack), 0.5f);
    EXPECT_EQ(parameter(kDrive), 107.0f / 128.0f);
    const softwin::Image afterScript = softwareFrame(state, script);
    ASSERT_TRUE(settlesTo(afterScript));
    if (const char* dir = std::getenv("VARNOX_X11_PICTURES")) {
        // The README's picture of the editor in an X11 window.
        std::string error;
        const softwin::Image seen = frame();
        EXPECT_TRUE(pngout::writeRgb(std::string(dir) + "/editor-x11.png", seen.width, seen.height, seen.rgb.data(),
                                     error))
            << error;
    }

    // Captured: dragged above the window the pointer reports negative
    // coordinates, and the value follows the distance alone.
    const auto step = [&](unsigned message, int x, int y, unsigned button, bool press) {
        pointerTo(x, y);
        if (button) host->button(button, press);
        script.push_back({message, x, y, 2});
    };
    step(WM_LBUTTONDOWN, 303, 60, kLeft, true);
    step(WM_MOUSEMOVE, 303, -60, 0, false);
    EXPECT_TRUE(parameterBecomes(kDrive, 1.0f));
    step(WM_MOUSEMOVE, 303, 60, 0, false);
    EXPECT_TRUE(parameterBecomes(kDrive, 107.0f / 128.0f));
    step(WM_LBUTTONUP, 303, 60, kLeft, false);

    // A right-click pair on the buttons: each leaves the two in opposite states.
    step(WM_RBUTTONDOWN, 357, 28, kRight, true);
    step(WM_RBUTTONUP, 357, 28, kRight, false);
    EXPECT_TRUE(parameterBecomes(kTimesTwo, 0.0f));
    EXPECT_EQ(parameter(kBoost), 1.0f);
    step(WM_RBUTTONDOWN, 58, 97, kRight, true);
    step(WM_RBUTTONUP, 58, 97, kRight, false);
    EXPECT_TRUE(parameterBecomes(kBoost, 0.0f));
    EXPECT_EQ(parameter(kTimesTwo), 1.0f);

    // The middle button and the wheel mean nothing to the editor.
    pointerTo(303, 70);
    script.push_back({WM_MOUSEMOVE, 303, 70, 2});
    for (const unsigned button : {kMiddle, kWheelUp, kWheelDown}) {
        host->button(button, true);
        host->button(button, false);
    }
    EXPECT_TRUE(settlesTo(softwareFrame(state, script)));
    EXPECT_EQ(parameter(kDrive), 107.0f / 128.0f);

    // The logo shows the about panel while it is held, the panel after.
    step(WM_LBUTTONDOWN, 474, 13, kLeft, true);
    EXPECT_TRUE(settlesTo(softwareFrame(state, script)));
    step(WM_LBUTTONUP, 474, 13, kLeft, false);
    EXPECT_TRUE(settlesTo(softwareFrame(state, script)));
    close();
}

TEST_F(HostWindow, HostDestroyingItsWindowFirstIsSurvived) {
    const std::size_t descriptors = openDescriptors();
    const std::size_t threads = threadCount();
    ASSERT_EQ(open(window), 1);
    ASSERT_TRUE(waitFor([&] { return !showsBackgroundOnly(); }, kSettle)) << "the editor never appeared";
    host->destroyWindow(window);
    // The editor keeps ticking into a window that is gone; its X errors, if
    // any, stay on its own connection.
    effect->setParameter(effect, kDrive, 0.5f);
    for (int i = 0; i < 10; ++i) {
        idle();
        std::this_thread::sleep_for(20ms);
    }
    close();
    XSync(host->display(), False);
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_EQ(threadCount(), threads);

    // The same instance opens again in a new window.
    window = host->createWindow(kEditorWidth, kEditorHeight, nullptr, 0, kOriginX, kOriginY);
    ASSERT_EQ(open(window), 1);
    EXPECT_TRUE(settlesTo(softwareFrame({0, {{kDrive, 0.5f}}})));
    close();
}

TEST_F(HostWindow, OpenCloseCyclesLeaveNothingBehind) {
    const Window root = DefaultRootWindow(host->display());
    const std::size_t topLevels = host->children(root).size();
    const std::size_t descriptors = openDescriptors();
    const std::size_t threads = threadCount();
    for (int cycle = 0; cycle < 20; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_EQ(open(window), 1);
        ASSERT_EQ(host->children(window).size(), 1u);
        EXPECT_EQ(threadCount(), threads + 1);
        ASSERT_TRUE(waitFor([&] { return !showsBackgroundOnly(); }, kSettle)) << "the editor never appeared";
        close();
        EXPECT_TRUE(host->children(window).empty());
        EXPECT_EQ(openDescriptors(), descriptors);
        EXPECT_EQ(threadCount(), threads);
    }
    // The instance closed with its editor still open takes it along.
    ASSERT_EQ(open(window), 1);
    closeEffect();
    EXPECT_TRUE(host->children(window).empty());
    EXPECT_EQ(host->children(root).size(), topLevels);
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_EQ(threadCount(), threads);
}

TEST_F(HostWindow, NoEditorWithoutAWindowToShowItIn) {
    Display* display = host->display();
    const Pixmap pixmap = XCreatePixmap(display, window, 8, 8, DefaultDepth(display, DefaultScreen(display)));
    const Window destroyed = host->createWindow(10, 10);
    host->destroyWindow(destroyed);
    XSetWindowAttributes none{};
    const Window inputOnly = XCreateWindow(display, window, 0, 0, 10, 10, 0, 0, InputOnly, CopyFromParent, 0, &none);
    XSync(display, False);

    PrivateDisplay gone;  // a display that was there and went away
    gone.stop();
    const std::string displayName = testDisplay().name();
    const std::string goneName = gone.name().empty() ? ":4095" : gone.name();
    struct Case {
        const char* name;
        std::uintptr_t parent;
        const char* display;  // null: DISPLAY unset
    };
    const Case cases[] = {
        {"a pixmap", pixmap, displayName.c_str()},
        {"a destroyed window", destroyed, displayName.c_str()},
        {"an input-only window", inputOnly, displayName.c_str()},
        {"an id beyond X11's 29 bits", std::uintptr_t{0x5a5a0000}, displayName.c_str()},
        {"no DISPLAY", window, nullptr},
        {"a display that went away", window, goneName.c_str()},
    };
    const std::size_t descriptors = openDescriptors();
    const std::size_t threads = threadCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.display) {
            ::setenv("DISPLAY", c.display, 1);
        } else {
            ::unsetenv("DISPLAY");
        }
        EXPECT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(c.parent), 0.0f), 0);
        ::setenv("DISPLAY", displayName.c_str(), 1);
        close();
        EXPECT_EQ(host->children(window).size(), 1u);  // the input-only window only
        EXPECT_EQ(openDescriptors(), descriptors);
        EXPECT_EQ(threadCount(), threads);
    }
    // Nothing of it stays: the next open in a real window works.
    XDestroyWindow(display, inputOnly);
    XFreePixmap(display, pixmap);
    XSync(display, False);
    ASSERT_EQ(open(window), 1);
    EXPECT_TRUE(settlesTo(softwareFrame({})));
    close();
}

}  // namespace
