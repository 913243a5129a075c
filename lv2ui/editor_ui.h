// The LV2 UI: the skinned editor in the host's X11 window, speaking to the
// plug-in through ports alone, so it works where the host runs UIs in
// another process. It keeps an EffectCore of its own that never processes:
// its raw values follow the control ports, its display state the meter
// ports, and the editor reads it as it reads the effect in the other faces.
// Its gestures go out as ui:touch and port writes.
#pragma once

#include <array>
#include <cstdint>

#include "core/edit_events.h"
#include "core/effect_core.h"
#include "editor/skin_editor.h"
#include "lv2/ports.h"

namespace lv2face {

class EditorUi : public EditEvents {
public:
    /// Writes a port value (the host's write_function, float protocol).
    using Write = void (*)(void* controller, uint32_t port, float value);
    /// Begins (true) or ends a gesture on a port (ui:touch); may be null.
    using Touch = void (*)(void* context, uint32_t port, bool grabbed);

    EditorUi(Write write, void* controller, Touch touch, void* touchContext);
    ~EditorUi();
    EditorUi(const EditorUi&) = delete;
    EditorUi& operator=(const EditorUi&) = delete;

    /// The host's ui:scaleFactor: the editor snaps it to a drawn scale.
    void setScale(double factor);
    /// Opens the editor in X11 window `parent`, driven by idle(): input, ticks
    /// and the edits they make all on the host's UI thread, where LV2 wants
    /// write_function called. Answers the editor's X11 window, 0 when none
    /// could be made.
    std::uintptr_t open(std::uintptr_t parent);
    int width() const { return editor.deviceWidth(); }
    int height() const { return editor.deviceHeight(); }

    /// A port's new value from the host (float protocol).
    void portEvent(uint32_t port, float value);
    /// The host's idle call: waiting input, then the ticks that are due.
    void idle();

    const EffectCore& core() const { return effect; }
    SkinEditor& skinEditor() { return editor; }

    // EditEvents, from the editor's gestures.
    void beginEdit(int32_t index) override;
    void performEdit(int32_t index, float raw) override;
    void endEdit(int32_t index) override;

private:
    EffectCore effect;
    SkinEditor editor;
    Write write;
    void* controller;
    Touch touch;
    void* touchContext;
    // Before the first idle call the host sends every port's value: that sets
    // the editor up, it is not a change to announce in the readout.
    bool settled = false;
    std::array<bool, kParamCount> editing{};
    std::array<float, kPortCount> lastMeter{};
};

}  // namespace lv2face
