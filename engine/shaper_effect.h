// The drive effect: six parameters, ten programs, the coefficient set and the
// per-sample signal path. Knows audio; knows the editor only as the target of
// its value readout.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/program.h"
#include "engine/stage.h"
#include "host/effect_base.h"
#include "host/relaxed.h"

class SkinEditor;

constexpr int32_t kParamCount = 6;
constexpr int32_t kProgramCount = 10;
constexpr int32_t kPinCount = 2;

enum ParamIndex : int32_t {
    kIngain = 0,
    kAttack = 1,
    kRelease = 2,
    kDrive = 3,
    kTimesTwo = 4,
    kBoost = 5,
};

// What the editor's value readout shows; also the editor's knob index.
enum ReadoutKind : int32_t {
    kReadoutNone = -1,
    kReadoutDrive = 0,
    kReadoutAttack = 1,
    kReadoutRelease = 2,
    kReadoutIngain = 3,
};

class ShaperEffect : public ExtendedEffectBase {
public:
    explicit ShaperEffect(audioMasterCallback hostCallback);
    ~ShaperEffect() override;

    void putParameter(int32_t index, float value) override;
    float readParameter(int32_t index) override;
    void automateParameter(int32_t index, float value) override;
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
    void setCanMono(bool on) override;
    bool inputPinConnected(int32_t index) override;
    bool outputPinConnected(int32_t index) override;
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

    /// Derives the coefficient set from the raw values and writes the editor's
    /// readout for `kind` (-1 empties it); `hold` 1 keeps it up for 20 ticks.
    void updateReadout(int32_t kind, uint8_t hold);
    /// Sends an editor change of `index` to the host as automation.
    void reportParameter(int32_t index);
    /// The readout kind a parameter announces (-1 for the switches and out of range).
    static int32_t readoutKindOf(int32_t index);
    /// One-time display reset when the effect-with-editor is built.
    void resetEditorState();

    // Raw parameter values (whole numbers, 0..maximum), read and written by the editor.
    std::array<Relaxed<float>, kParamCount> rawValue{};
    std::array<float, kParamCount> rawMaximum{};

    // The coefficient set, read by the signal path and the editor.
    Relaxed<float> inputGain{1.0f};
    Relaxed<float> attackCoef{0.0f};
    Relaxed<float> releaseCoef{0.0f};
    Relaxed<float> driveAmount{0.0f};
    Relaxed<float> flushThreshold{0.0f};

    // Display values: raised by the signal path, lowered and animated by the editor.
    Relaxed<float> peakLeft{0.0f};
    Relaxed<float> peakRight{0.0f};
    Relaxed<float> clipLevel{0.0f};
    Relaxed<float> x2Fade{0.0f};
    Relaxed<float> boostFade{0.0f};
    Relaxed<float> tubeGlow{0.0f};

    int32_t programNumber() const { return programIndex; }
    float sampleRate() const { return currentSampleRate; }
    float rateScaleValue() const { return rateScale; }
    bool isSwitchedOn() const { return mainsOn == 1; }
    const ProgramRecord& program(int32_t index) const { return programs[index]; }
    const StageState& stage(int32_t index) const { return stageStates[index]; }
    SkinEditor* readoutTarget() const { return skinEditor; }

protected:
    SkinEditor* skinEditor = nullptr;  // not owned: the same object is attachedEditor

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
