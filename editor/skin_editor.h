// The skinned editor: a 500 x 140 child window drawn from four bitmaps on a
// 50 ms timer, operated with the mouse. It reads the effect core's values and
// display state, and tells its face of every change as an edit gesture.
#pragma once

#include <cstdint>

#include <initializer_list>

#include "core/edit_events.h"
#include "editor/panel_layout.h"
#include "host/editor_base.h"
#include "platform/win32.h"

class EffectCore;
struct FrameCells;

class SkinEditor : public EditorBase {
public:
    static constexpr int kWidth = panel::kWidth;
    static constexpr int kHeight = panel::kHeight;
    static constexpr char kDragKnob = 'c';
    static constexpr char kDragAbout = 'b';
    static constexpr uint8_t kNoControl = 255;

    /// The editor of `effect`, reporting to `edits`. With a VST 2 `owner` it
    /// attaches itself as the owner's editor, which sets effFlagsHasEditor.
    SkinEditor(EffectCore& effect, EditEvents& edits, EffectBase* owner = nullptr);
    /// Closes a window the host left open, so no timer tick outlives the editor.
    ~SkinEditor() override;

    int32_t queryRect(ERect** rect) override;
    int32_t openWindow(void* parent) override;
    void closeWindow() override;
    void onIdle() override;

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    /// One 50 ms tick: readout hold or hover, drag step, frame.
    void onTimer();
    /// Composes one frame in the back buffer and shows it; `mode` 1 repaints the
    /// panel first, 2 shows the about panel. Animates the effect's display values.
    void drawFrame(int8_t mode);
    /// One seven-segment digit of the readout at position `n` (0..2).
    void drawDigit(char c, int n);
    static void loadSkin();

    void onMouseMove(LPARAM position);
    void onLeftDown(LPARAM position);
    void onLeftUp(LPARAM position);
    void onRightDown(LPARAM position);
    void onRightUp(LPARAM position);
    /// Sets the dragged knob from the vertical distance to the press point.
    void dragStep();

    /// Editor windows open in this process; the skin lives while it is above 0.
    static int32_t openEditorCount() { return openCount; }

    EffectCore& shaper;
    EditEvents& edits;

    // Interaction and drawing state (user-interface thread). What the effect
    // publishes for the display (meters, readout) lives in its DisplayState.
    HWND window = nullptr;
    int16_t mouseX = 0;
    int16_t mouseY = 0;
    UINT_PTR timerId = 0;
    HBITMAP savedBitmap = nullptr;
    HBITMAP backBitmap = nullptr;
    HDC windowDc = nullptr;
    HDC backDc = nullptr;
    char dragMode = 0;
    uint8_t activeControl = kNoControl;
    int32_t dragStartY = 0;
    float dragStartValue = 0.0f;
    float savedDrive = 0.0f;
    int8_t redrawMode = 1;
    int32_t isOpen = 0;

private:
    struct RawEdit {
        int32_t index;
        float raw;
    };
    /// A click: every value is in place before the first is reported, so a
    /// host that reads the parameters back while it hears of one sees the
    /// whole change; then each is a gesture of its own.
    void click(std::initializer_list<RawEdit> changes);
    void endDrag();
    void drawControls(const FrameCells& cells);
    void drawReadout();

    // Shared by every editor of the process while any window is open.
    static inline int32_t openCount = 0;
    static inline HBITMAP panelBitmap = nullptr;
    static inline HBITMAP knobStrip = nullptr;
    static inline HBITMAP tubeStrip = nullptr;
    static inline HBITMAP circuitStrip = nullptr;
    static inline HDC panelDc = nullptr;
    static inline HDC knobDc = nullptr;
    static inline HDC tubeDc = nullptr;
    static inline HDC circuitDc = nullptr;
};
