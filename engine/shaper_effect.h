// The effect's VST 2 face: the class the VST 2 binding drives, over the
// format-neutral effect core it also is. It adds what VST 2 hosts see: the
// parameter, program and identity requests, the pin-dependent routing, the
// readout announcement of host-side changes, and the editor's edits as
// automation bracketed by begin and end requests. It knows no editor.
#pragma once

#include <cstdint>

#include "core/edit_events.h"
#include "core/effect_core.h"
#include "host/effect_base.h"
#include "util/relaxed.h"

constexpr int32_t kPinCount = 2;

class ShaperEffect : public ExtendedEffectBase, public EffectCore, public EditEvents {
public:
    /// Builds the effect's editor at its place in construction; the editor
    /// attaches itself (EffectBase::attachEditor), which hands it over.
    using EditorFactory = void (*)(ShaperEffect& effect);

    explicit ShaperEffect(audioMasterCallback hostCallback, EditorFactory createEditor = nullptr);
    ~ShaperEffect() override;

    void putParameter(int32_t index, float value) override;
    float readParameter(int32_t index) override;
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

    /// Sends the raw value of `index`, set in the editor, to the host as automation.
    void reportParameter(int32_t index);

    // The editor's gestures: audioMasterBeginEdit, the value stored and
    // reported through reportParameter, audioMasterEndEdit.
    void beginEdit(int32_t index) override;
    void performEdit(int32_t index, float raw) override;
    void endEdit(int32_t index) override;

    /// One-time display reset when the effect-with-editor is built.
    void resetEditorState();

    int32_t programNumber() const { return programIndex; }
    float sampleRate() const { return currentSampleRate; }

private:
    void processWithPins(float** inputs, float** outputs, int32_t sampleFrames, bool accumulate);
    void fillFactoryPrograms();

    // 1: the next putParameter comes from outside the editor and is announced
    // in the readout; reportParameter clears it for the editor's own changes.
    Relaxed<int32_t> announceChange{0};
};
