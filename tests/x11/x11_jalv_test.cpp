// A real LV2 host: jalv.gtk3 (lilv and suil embedding the X11 UI in GTK) on
// a JACK server of the dummy backend, on the private display. The editor it
// shows must be the software layer's picture of the default program. Skips
// when jalv.gtk3 or jackd is not installed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/x11/x11_support.h"
#include "tests/x11/x_host.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

bool installed(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) == 0; }

// A program of ours, ended when the test ends.
class Child {
public:
    explicit Child(std::vector<std::string> argv) {
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
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
        softwin::Image seen;
        EXPECT_TRUE(waitFor([&] { return (seen = host.capture(editor, kEditorWidth, kEditorHeight)) == expected; }, 15s))
            << difference(seen, expected);
    }
    std::error_code ignored;
    fs::remove_all(lookup, ignored);
}

}  // namespace
