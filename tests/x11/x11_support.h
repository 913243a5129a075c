// What the X11 tests share: the private display, the plug-in library loaded
// as a host loads it, the software layer's picture of a state for
// comparison, and waiting for a condition with a deadline.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/soft_win32_driver.h"
#include "platform/vst2.h"
#include "tests/x11/private_display.h"

/// The test process's own X server, started on first use; $DISPLAY names it.
PrivateDisplay& testDisplay();

#define REQUIRE_DISPLAY()                                                                        \
    do {                                                                                         \
        if (!testDisplay().ok()) GTEST_SKIP() << "no X server for this test: " << testDisplay().error(); \
    } while (false)

/// Repeats `between` and tests `done` until it holds or `timeout` passes.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout,
             const std::function<void()>& between = {}, std::chrono::milliseconds period = std::chrono::milliseconds(10));

/// "N pixels differ, first at (x, y): 0xRRGGBB, expected 0xRRGGBB", or "equal".
std::string difference(const softwin::Image& seen, const softwin::Image& expected);

/// The shipped plug-in, loaded once through its exported entry.
class LoadedPlugin {
public:
    static LoadedPlugin& get();
    /// A new instance; its automation requests are counted.
    AEffect* create() const;

private:
    LoadedPlugin();
    DynamicLibrary library_;
    VstEntryProc entry_ = nullptr;
};

/// audioMasterAutomate requests of every instance so far (any thread).
std::uint64_t automationCount();

/// A state of the effect as a host sets it up.
struct EffectState {
    int32_t program = 0;
    std::vector<std::pair<int32_t, float>> parameters;  // setParameter(index, value), in order
};
void applyState(AEffect* effect, const EffectState& state);

/// One step of a mouse script: a message at client (x, y), then `ticks` ticks.
struct MouseStep {
    unsigned message;
    int x;
    int y;
    int ticks = 1;
};

/// The settled picture of `state` on the software window layer, drawn in
/// this process as `varnox-render --snapshot` draws it, after `script`.
softwin::Image softwareFrame(const EffectState& state, const std::vector<MouseStep>& script = {},
                             int settleTicks = 60, const std::string& scale = "1");

/// The editor size.
constexpr int kEditorWidth = 500;
constexpr int kEditorHeight = 140;
