// The editor's frame composition on the software window layer: one 50 ms
// tick with moving meters, and one that repaints the whole panel first.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "bench/editor_ticks.h"
#include "editor/skin_editor.h"
#include "engine/shaper_effect.h"
#include "host/effect_base.h"
#include "platform/soft_win32_driver.h"

namespace {

void editorFrame(benchmark::State& state, bool repaint) {
    benchsupport::PluginInstance fx(9, 44100.0f, 512);
    auto& effect = *static_cast<ShaperEffect*>(EffectBase::fromRecord(fx.record()));
    if (fx.record()->dispatcher(fx.record(), effEditOpen, 0, 0, nullptr, 0.0f) != 1) {
        state.SkipWithError("the editor did not open");
        return;
    }
    HWND window = static_cast<SkinEditor*>(effect.editor())->window;
    softwin::tick();  // the first frame, with the panel
    const auto first = softwin::windowPixels(window);
    if (!first || first->pixel(0, 0) == first->pixel(250, 70)) {
        state.SkipWithError("no skin on the window");
        return;
    }

    timeEditorTicks(
        state, effect, repaint, [window] { softwin::invalidate(window); }, [] { softwin::tick(); });
    fx.record()->dispatcher(fx.record(), effEditClose, 0, 0, nullptr, 0.0f);
}

void BM_EditorFrame(benchmark::State& state) {
    editorFrame(state, false);
}
void BM_EditorFrameRepaint(benchmark::State& state) {
    editorFrame(state, true);
}

BENCHMARK(BM_EditorFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditorFrameRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace
