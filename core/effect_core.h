// The drive effect, knowing no plug-in format: the raw parameter values and
// the program records, the coefficient set derived from them, the block path,
// and the display state it publishes for an editor. Each face (VST 2, VST 3,
// ...) adapts it to its host; it makes no host call of its own.
//
// Threads. Parameters may be set from any thread: a host's user-interface or
// automation thread, its audio thread, an editor. The block path runs on the
// audio thread; activation and the sample rate are set while no block runs.
// Nothing here takes a lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/coefficients.h"
#include "core/display_state.h"
#include "core/oversampler.h"
#include "core/parameters.h"
#include "core/programs.h"
#include "core/routing.h"
#include "core/stage.h"
#include "util/relaxed.h"

/// The raw parameter values, whole steps from 0 to each parameter's maximum.
/// Anyone may read them; only the effect writes them, and it counts every
/// change (see EffectCore::publishCoefficients).
class RawValues {
public:
    float operator[](std::size_t index) const { return values[index].load(); }

private:
    friend class EffectCore;
    std::array<Relaxed<float>, kParamCount> values{};
};

class EffectCore {
public:
    /// Program 0 loaded from the factory records, its coefficients derived
    /// at 44.1 kHz, switched off.
    EffectCore();
    EffectCore(const EffectCore&) = delete;
    EffectCore& operator=(const EffectCore&) = delete;

    // --- Parameters

    RawValues rawValue;
    static constexpr std::array<float, kParamCount> rawMaximum = kRawMaximum;

    /// The raw step a host value takes: trunc(maximum x value), the value
    /// first held to 0..1 (NaN as 0). 0 for no parameter.
    static float stepFor(int32_t index, float value);
    /// The parameter as hosts see it: raw / maximum. 0 for no parameter.
    float normalized(int32_t index) const;
    /// Stores a raw value as it is (an editor's edit, a display reset); the
    /// coefficients follow at the next derivation.
    void storeRaw(int32_t index, float raw);
    /// A host value 0..1: its raw step is stored and `program`'s record keeps
    /// the value itself; the coefficients are derived again. With `announce`
    /// the readout shows the parameter's value and holds it for 20 editor
    /// ticks (a change from outside the editor); without, it is left showing
    /// Drive, unheld, for the caller to replace.
    void setParameter(int32_t index, float value, bool announce, int32_t program);
    /// Loads a program's record as a host's program change: every value set
    /// as from the host, then again as the step it took, which the record
    /// keeps. The readout ends empty.
    void loadProgram(int32_t program);

    std::array<ProgramRecord, kProgramCount> programs;

    // --- Coefficients and the value readout

    // What the signal path runs with; an editor reads driveAmount for the
    // tube. Written by every derivation, never torn apart from the raw values
    // for good (see publishCoefficients).
    Relaxed<float> inputGain{1.0f};
    Relaxed<float> attackCoef{0.0f};
    Relaxed<float> releaseCoef{0.0f};
    Relaxed<float> driveAmount{0.0f};
    Relaxed<float> flushThreshold{0.0f};

    /// Derives the coefficient set from the raw values and writes the readout
    /// for `kind` (-1 empties it); `hold` 1 keeps it up for 20 editor ticks.
    void updateReadout(int32_t kind, uint8_t hold);

    DisplayState display;

    // --- Processing

    /// The rate the envelope rates follow from the next derivation on.
    void setSampleRate(float rate);
    /// Switch-on: the rate scale for `sampleRate`, work buffers for blocks of
    /// `blockSize` (longer blocks run in pieces), coefficients derived, the
    /// readout emptied, the stages and meters reset. False, and switched off,
    /// when the buffers cannot be had.
    bool switchOn(float sampleRate, int32_t blockSize);
    /// Releases the work buffers; blocks are ignored until the next switch-on.
    void switchOff();
    /// The stages and meters back where switch-on leaves them, nothing
    /// allocated: a host's reset between blocks, on the audio thread.
    void resetStages();
    bool isSwitchedOn() const { return mainsOn == 1; }

    /// One block through the gain stage and one or two drive stages into the
    /// outputs the routing writes, replacing or added to what they hold.
    /// Ignored while switched off. Allocates nothing, locks nothing.
    void processBlock(const Routing& routing, const float* const* inputs, float* const* outputs,
                      int32_t frames, bool accumulate);

    // --- Oversampling (faces that offer it; the VST 2 face does not)

    /// Makes the next switch-ons take the buffers that oversampling and the
    /// matching bypass delay need.
    void offerOversampling() { oversamplingOffered = true; }
    /// 1 (off), 2, 4, 8 or 16 (anything else is 1, as is any factor while
    /// not offered). The drive stages run at that multiple of the rate with
    /// envelope rates derived for it; the change reaches the audio at the
    /// next block, the filters starting from silence.
    void setOversampling(int32_t factor);
    int32_t oversampling() const { return oversamplingFactor; }
    /// The delay the chosen factor adds, in samples at the host's rate.
    int32_t latency() const { return Oversampler::latencyFor(oversamplingFactor); }
    /// A bypassed block: each input to its output, delayed by latency() so
    /// that switching the bypass does not shift the signal in time. A null
    /// output is skipped. Allocates nothing.
    void bypassBlock(const float* const* inputs, float* const* outputs, int32_t frames);

    float rateScaleValue() const { return rateScale; }
    const StageState& stage(int32_t index) const { return stageStates[index]; }
    const ProgramRecord& program(int32_t index) const { return programs[index]; }

    /// For tests: called by every derivation between reading the raw values
    /// and publishing what it derived, so that a test can hold a thread there.
    static void setDerivationProbe(void (*probe)());

private:
    void publishCoefficients();
    void writeReadoutValue(int32_t kind);
    /// The work chunk through the drive stages, at the oversampling factor.
    void runDriveStages(const StagePlan& plan, const StageCoefficients& coefficients, const bool* use,
                        int32_t count);
    /// Keeps the last inputs for bypassBlock's delay.
    void rememberDry(const float* const* inputs, int32_t frames);
    void releaseOversampling();

    // Bumped after every change of a raw value.
    std::atomic<uint32_t> changes{0};
    Relaxed<float> rateScale{1.0f};
    std::array<StageState, 4> stageStates{};
    int32_t mainsOn = 0;
    int32_t workAllocated = 0;
    std::array<std::unique_ptr<float[]>, 2> workBuffers;
    int32_t workCapacity = 0;  // samples per work buffer usable by a block

    float baseRate = 44100.0f;
    bool oversamplingOffered = false;
    Relaxed<int32_t> oversamplingFactor{1};
    int32_t runningFactor = 1;  // the audio thread's: what the filters were cleared for
    Oversampler oversampler;
    std::array<std::unique_ptr<float[]>, 2> upBuffers;  // a chunk at the top rate
    std::array<std::vector<float>, 2> dryDelay;       // ring buffers for bypassBlock
    int32_t dryPosition = 0;
};
