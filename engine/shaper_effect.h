// The drive effect: six parameters, ten programs, the coefficient set and the
// per-sample signal path. Knows audio, and publishes what an editor shows in
// its display state; it knows no editor.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "engine/display_state.h"
#include "engine/parameter_index.h"
#include "engine/program.h"
#include "engine/stage.h"
#include "host/effect_base.h"
#include "util/relaxed.h"

constexpr int32_t kProgramCount = 10;
constexpr int32_t kPinCount = 2;

class ShaperEffect : public ExtendedEffectBase {
public:
    /// Builds the effect's editor at its place in construction; the editor
    /// attaches itself (EffectBase::attachEditor), which hands it over.
    using EditorFactory = void (*)(ShaperEffect& effect);

    explicit ShaperEffect(audioMasterCallback hostCallback, EditorFactory createEditor = nullptr);
    ~ShaperEffect() override;

    void putParameter(int32_t index, float value) override;
    float readParameter(int32_t index) override;
    /// The raw step putParameter stores for `value` (0 for no parameter).
    float stepFor(int32_t index, float value) const;
    void processAccumulate(float** inputs, float** outputs, int32_t sampleFrames) override;
    void processReplace(float** inputs, float** outputs, int32_t sampleFrames) override;
    void selectProgram(int32_t program) override;
    void renameProgram(char* text) override;
    void programNameText(char* text) override;
    void parameterLabelText(int32_t index, char* text) override;
    void parameterDisplayText(int32_t index, char* text) override;
    void parameterNameText(int32_t index, char* text) override;
    float meterLevel() override;
    void applySampleRate(float rate) override;
    void switchOff() override;
    void switchOn() override;
    bool indexedProgramName(int32_t category, int32_t index, char* text) override;
    bool copyProgramTo(int32_t destination) override;
    bool inputPinProperties(int32_t index, VstPinProperties* properties) override;
    bool outputPinProperties(int32_t index, VstPinProperties* properties) override;
    bool hostCapability(char* text) override;
    bool effectNameText(char* text) override;
    bool vendorText(char* text) override;
    bool productText(char* text) override;
    int32_t capability(char* text) override;
    /// audioMasterProcessEvents; true when the host answers 1.
    virtual bool sendEventsToHost(void* events);

    /// Derives the coefficient set from the raw values and writes the value
    /// readout for `kind` (-1 empties it); `hold` 1 keeps it up for 20 ticks.
    void updateReadout(int32_t kind, uint8_t hold);
    /// Sends the raw value of `index`, set in the editor, to the host as automation.
    void reportParameter(int32_t index);

    struct RawEdit {
        int32_t index;
        float raw;
    };
    /// The editor's one way to change parameters: stores the raw values, then
    /// reports each, in order, through reportParameter.
    void editParameters(std::initializer_list<RawEdit> edits);

    /// One-time display reset when the effect-with-editor is built.
    void resetEditorState();

    // Raw parameter values (whole numbers, 0..maximum); the editor reads them.
    std::array<Relaxed<float>, kParamCount> rawValue{};
    std::array<float, kParamCount> rawMaximum{};

    // The coefficient set, read by the signal path and the editor.
    Relaxed<float> inputGain{1.0f};
    Relaxed<float> attackCoef{0.0f};
    Relaxed<float> releaseCoef{0.0f};
    Relaxed<float> driveAmount{0.0f};
    Relaxed<float> flushThreshold{0.0f};

    // Meters, readout and animations for the editor.
    DisplayState display;

    int32_t programNumber() const { return programIndex; }
    float sampleRate() const { return currentSampleRate; }
    float rateScaleValue() const { return rateScale; }
    bool isSwitchedOn() const { return mainsOn == 1; }
    const ProgramRecord& program(int32_t index) const { return programs[index]; }
    const StageState& stage(int32_t index) const { return stageStates[index]; }

private:
    void processBlock(float** inputs, float** outputs, int32_t sampleFrames, bool accumulate);
    void fillFactoryPrograms();
    void writeReadoutValue(int32_t kind);

    std::unique_ptr<StageState[]> stageStates;
    std::unique_ptr<ProgramRecord[]> programs;
    std::array<ParamName, kParamCount> paramName{};
    Relaxed<float> rateScale{1.0f};
    int32_t mainsOn = 0;
    int32_t workAllocated = 0;
    std::array<std::unique_ptr<float[]>, 2> workBuffers;
    int32_t workCapacity = 0;  // samples per work buffer usable by a block
    Relaxed<int32_t> announceChange{0};
};
