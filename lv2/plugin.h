// The LV2 plug-in: one EffectCore per instance, its parameters set from the
// control ports at the start of every run, its block path run exactly as the
// other faces run it. The descriptor's calls forward here; tests and the
// benchmark use the class directly.
#pragma once

#include <array>
#include <cstdint>

#include "core/effect_core.h"
#include "lv2/ports.h"

namespace lv2face {

/// A meter port's value: the largest reading of the window of run() calls
/// now filling and of the one before, so a UI that reads the port at least
/// every window (50 ms, the editor's tick) sees every peak.
struct MeterHold {
    float current = 0.0f;
    float previous = 0.0f;
    float value() const { return current > previous ? current : previous; }
};

class Plugin {
public:
    explicit Plugin(double sampleRate);

    void connect(uint32_t port, void* data);
    /// Switch-on: allocates the work buffers (never in run()).
    bool activate();
    void deactivate();
    /// Any number of frames, 1 included; allocates and locks nothing.
    void run(uint32_t frames);

    const EffectCore& core() const { return effect; }

    // Blocks up to this size run in one piece; longer ones in pieces of it.
    static constexpr int32_t kWorkFrames = 4096;

private:
    /// The control inputs that changed since the last run, into the core.
    void applyControls();
    void updateMeters(uint32_t frames);

    EffectCore effect;
    float sampleRate;
    std::array<void*, kPortCount> ports{};
    // The value each control input last had; NaN until the first run.
    std::array<float, kPortCount> lastValue{};
    bool bypassed = false;

    std::array<MeterHold, 3> meters{};  // left, right, clip
    uint32_t windowFrames = 0;           // frames of the window now filling
    uint32_t windowLength = 2205;
};

}  // namespace lv2face
