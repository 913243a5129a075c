// The measured loop of the editor rows, on the software window layer alone
// or in an X11 window: meters as the audio thread leaves them, sweeping
// through green and red, then one tick, after a repaint request when asked.
#pragma once

#include <benchmark/benchmark.h>

#include "engine/shaper_effect.h"

template <typename RequestRepaint, typename Tick>
void timeEditorTicks(benchmark::State& state, ShaperEffect& effect, bool repaint, RequestRepaint requestRepaint,
                     Tick tick) {
    float level = 0.0f;
    for (auto _ : state) {
        level = level > 1.4f ? 0.0f : level + 0.07f;
        effect.display.peakLeft = level;
        effect.display.peakRight = level * 0.5f;
        if (repaint) requestRepaint();
        tick();
    }
    state.counters["frames/s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
