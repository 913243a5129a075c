// A real LV2 host: jalv.gtk3 (lilv and suil embedding the X11 UI in GTK) on
// a JACK server of the dummy backend, on the private display. The editor it
// shows must be the software layer's picture of the default program. Skips
// when jalv.gtk3 or jackd is not installed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/x11/x11_support.h"
#include "tests/x11/x_host.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

bool installed(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) == 0; }

// A program of ours, ended when the test ends, and by the system when the
// test process ends first.
class Child {
public:
    explicit Child(std::vector<std::string> argv) {
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        const pid_t parent = ::getpid();
        pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) ::_exit(1);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
    }
    ~Child() {
        if (pid <= 0) return;
        ::kill(pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 200 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(10000);
        if (::waitpid(pid, &status, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
    }
    bool running() const { return pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0; }

private:
    pid_t pid = -1;
};

// The window of `size` without children below `window`, the first found.
Window findLeaf(const XHost& host, Window window, int width, int height) {
    for (Window child : host.children(window)) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(host.display(), child, &attributes);
        if (attributes.width == width && attributes.height == height && attributes.map_state == IsViewable &&
            host.children(child).empty())
            return child;
        if (Window found = findLeaf(host, child, width, height)) return found;
    }
    return 0;
}

TEST(Jalv, ShowsTheEditorAsTheSoftwareLayerDrawsIt) {
    REQUIRE_DISPLAY();
    if (!installed("jalv.gtk3") || !installed("jackd")) GTEST_SKIP() << "jalv.gtk3 or jackd is not installed";
#if defined(VARNOX_SANITIZED_PLUGIN)
    GTEST_SKIP() << "a sanitizer build's plug-in does not load into the uninstrumented jalv";
#endif
    const fs::path lookup = fs::temp_directory_path() / ("varnox-jalv-" + std::to_string(::getpid()));
    fs::create_directories(lookup);
    fs::remove(lookup / "Varnox.lv2");
    fs::create_directory_symlink(VARNOX_LV2_BUNDLE, lookup / "Varnox.lv2");
    const std::string server = "varnox-" + std::to_string(::getpid());
    ::setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    ::setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    ::setenv("LV2_PATH", lookup.c_str(), 1);

    XHost host;
    ASSERT_TRUE(host.ok());
    // jalv's windows come and go while we look at them: an X error about one
    // of them is no failure of ours.
    struct IgnoredErrors {
        XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        ~IgnoredErrors() { XSetErrorHandler(previous); }
    } ignoredErrors;
    host.pointerTo(1200, 1000);  // no hover readout
    const softwin::Image expected = softwareFrame(EffectState{});
    {
        Child jack({"jackd", "-n", server, "-d", "dummy", "-r", "48000", "-p", "256"});
        std::this_thread::sleep_for(1s);
        ASSERT_TRUE(jack.running()) << "jackd -d dummy did not start";
        Child jalv({"jalv.gtk3", "urn:zem:varnox"});
        const Window root = DefaultRootWindow(host.display());
        Window editor = 0;
        ASSERT_TRUE(waitFor([&] { return (editor = findLeaf(host, root, kEditorWidth, kEditorHeight)) != 0; }, 20s))
            << "jalv shows no 500 x 140 window";
        // Read from the screen where the editor lies: its own window may be
        // unmapped or moved by the toolkit at any moment.
        const auto onScreen = [&] {
            int x = 0, y = 0;
            Window child = 0;
            XTranslateCoordinates(host.display(), editor, root, 0, 0, &x, &y, &child);
            if (x < 0 || y < 0 || x + kEditorWidth > 1280 || y + kEditorHeight > 1024) return softwin::Image{};
            return host.capture(root, kEditorWidth, kEditorHeight, x, y);
        };
        softwin::Image seen;
        EXPECT_TRUE(waitFor([&] { return (seen = onScreen()) == expected; }, 15s)) << difference(seen, expected);
    }
    std::error_code ignored;
    fs::remove_all(lookup, ignored);
}

}  // namespace
