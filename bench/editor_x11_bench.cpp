// The editor's tick with the frame put into a real X11 window (the X11 face
// of the software window layer): one 50 ms tick with moving meters, and one
// that repaints the whole panel first. On $DISPLAY, else on a private Xvfb;
// with neither the rows report an error and are left out of the summary.
#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

#include "bench/bench_support.h"
#include "bench/editor_ticks.h"
#include "editor/skin_editor.h"
#include "engine/shaper_effect.h"
#include "host/effect_base.h"
#include "platform/soft_win32_driver.h"
#include "platform/x11_face.h"
#include "tests/x11/private_display.h"

namespace {

// $DISPLAY, or a private server started once for all rows; null without either.
const char* display() {
    static std::unique_ptr<PrivateDisplay> server;
    if (!std::getenv("DISPLAY")) {
        if (!server) server = std::make_unique<PrivateDisplay>();
        if (server->ok()) ::setenv("DISPLAY", server->name().c_str(), 1);
    }
    return std::getenv("DISPLAY");
}

// A mapped host window of the editor's size.
class HostWindow {
public:
    HostWindow() : connection_(xcb_connect(display(), nullptr)) {
        if (xcb_connection_has_error(connection_)) return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        window_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, SkinEditor::kWidth,
                          SkinEditor::kHeight, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(connection_, window_);
        std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }
    ~HostWindow() { xcb_disconnect(connection_); }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    xcb_window_t id() const { return window_; }

private:
    xcb_connection_t* connection_;
    xcb_window_t window_ = 0;
};

void editorFrameX11(benchmark::State& state, bool repaint) {
    HostWindow host;
    if (!host.id()) {
        state.SkipWithError("no X display: set DISPLAY, or install Xvfb");
        return;
    }
    benchsupport::PluginInstance fx(9, 44100.0f, 512);
    auto& effect = *static_cast<ShaperEffect*>(EffectBase::fromRecord(fx.record()));
    {
        // No event thread: the benchmark makes the ticks itself.
        const x11face::DriveScope byCaller(x11face::Drive::byCaller);
        if (fx.record()->dispatcher(fx.record(), effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{host.id()}),
                                    0.0f) != 1) {
            state.SkipWithError("the editor did not open in the X11 window");
            return;
        }
    }
    const HWND window = static_cast<SkinEditor*>(effect.editor())->window;
    const UINT_PTR timer = static_cast<SkinEditor*>(effect.editor())->timerId;
    softwin::sendMessage(window, WM_TIMER, timer);  // the first frame, with the panel
    if (!x11face::isShown(window)) {
        state.SkipWithError("the frame does not reach the X11 window");
        return;
    }

    timeEditorTicks(
        state, effect, repaint, [window] { softwin::sendMessage(window, WM_PAINT); },
        [window, timer] {
            softwin::sendMessage(window, WM_TIMER, timer);
            x11face::handleEvents(window);
        });
    fx.record()->dispatcher(fx.record(), effEditClose, 0, 0, nullptr, 0.0f);
}

void BM_EditorFrameX11(benchmark::State& state) {
    editorFrameX11(state, false);
}
void BM_EditorFrameX11Repaint(benchmark::State& state) {
    editorFrameX11(state, true);
}

BENCHMARK(BM_EditorFrameX11)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditorFrameX11Repaint)->Unit(benchmark::kMicrosecond);

}  // namespace
