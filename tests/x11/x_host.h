// The host's side of X11 in the tests: an Xlib connection that keeps Xlib's
// default error handler (any X error on it ends the process, as in many
// hosts), top-level windows for the editor, pictures read back from the
// screen and pointer input made through XTest.
#pragma once

#include <X11/Xlib.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/soft_win32_driver.h"

class XHost {
public:
    /// Connects to `displayName`, or to $DISPLAY when null; see ok().
    explicit XHost(const char* displayName = nullptr);
    ~XHost();
    XHost(const XHost&) = delete;
    XHost& operator=(const XHost&) = delete;

    bool ok() const { return display_ != nullptr; }
    Display* display() const { return display_; }

    /// A mapped top-level window at (x, y) of the screen with a green
    /// background, of `visual` and `depth` when given.
    Window createWindow(int width, int height, Visual* visual = nullptr, int depth = 0, int x = 0, int y = 0);
    void destroyWindow(Window window);
    /// A TrueColor or DirectColor visual of `depth` bits, or null.
    Visual* findVisual(int depth, int visualClass) const;

    std::vector<Window> children(Window window) const;
    /// The window's pixels as the screen shows them, children included; from
    /// (x, y) of the window (the root window's area never fails to be read).
    softwin::Image capture(Window window, int width, int height, int x = 0, int y = 0) const;

    /// Pointer input as a user makes it, in screen coordinates.
    void pointerTo(int x, int y) const;
    void button(unsigned button, bool press) const;
    void click(unsigned button, int x, int y) const;

private:
    Display* display_ = nullptr;
};

/// The background colour of the host's windows.
constexpr std::uint32_t kHostBackground = 0x00c000;

/// Open descriptors and threads of this process, for leak checks.
std::size_t openDescriptors();
std::size_t threadCount();
