// The VST 3 face's one way into the effect: an instance made by the same path
// as the VST 2 entry's, with the face as its host, and the few operations the
// face needs. Everything the face asks of the engine or the editor passes
// through here.
#pragma once

#include <cstdint>
#include <string>

#include "platform/vst2.h"
#include "platform/win32.h"

class ShaperEffect;

namespace vst3face {

/// Told of every parameter change the editor makes (the effect's reports that
/// no host-side call of the face caused).
class EditListener {
public:
    virtual void editorChanged(int32_t index, float value) = 0;

protected:
    ~EditListener() = default;
};

/// Marks the calling thread as inside a host-side change (a parameter, program
/// or state set by the host), whose reports from the effect are no edits.
class HostSideScope {
public:
    HostSideScope();
    ~HostSideScope();
    HostSideScope(const HostSideScope&) = delete;
    HostSideScope& operator=(const HostSideScope&) = delete;
};

class EffectLink {
public:
    /// A new effect with its editor; valid() is false when none could be made.
    explicit EffectLink(EditListener* listener = nullptr);
    ~EffectLink();
    EffectLink(const EffectLink&) = delete;
    EffectLink& operator=(const EffectLink&) = delete;

    bool valid() const { return effect != nullptr; }

    // Parameters (VST 2 indices), programs and value texts, as the VST 2 face has them.
    void putParameter(int32_t index, float value);
    float readParameter(int32_t index) const;
    float rawMaximum(int32_t index) const;
    /// The raw step putParameter would store for `value`.
    float stepFor(int32_t index, float value) const;
    /// putParameter, unless `value` leaves the parameter on the step it holds.
    void putParameterIfNewStep(int32_t index, float value);
    std::string parameterName(int32_t index) const;
    std::string parameterLabel(int32_t index) const;
    std::string parameterDisplay(int32_t index) const;
    void selectProgram(int32_t program);
    int32_t programNumber() const;
    std::string programName(int32_t program) const;

    // Processing.
    void applySampleRate(float rate);
    void applyBlockSize(int32_t size);
    void switchOn();
    void switchOff();
    bool isSwitchedOn() const;
    void processReplace(float** inputs, float** outputs, int32_t frames);

    // The editor. Calls that touch it wait for the user-interface lock: on
    // Linux its window may tick on a thread of its own.
    int32_t editorWidth() const;
    int32_t editorHeight() const;
    /// Opens the editor in `parent`; with `byRunLoop` its window is driven by
    /// the caller's run loop (platform/run_loop.h), not by a thread of its own.
    bool openEditor(void* parent, bool byRunLoop = false);
    void closeEditor();
    HWND editorWindow() const;
    /// The parameter whose knob the mouse holds, or -1.
    int32_t draggedParameter() const;

private:
    AEffect* record = nullptr;
    ShaperEffect* effect = nullptr;
};

}  // namespace vst3face
