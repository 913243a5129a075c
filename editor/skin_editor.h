// The skinned editor: a 500 x 140 child window drawn from four bitmaps on a
// 50 ms timer, operated with the mouse. It reads the effect core's values and
// display state, and tells its face of every change as an edit gesture.
//
// On a high-density screen the same panel is drawn from the artwork drawn at
// 1.5x or 2x, in a window that much larger. Everything but the drawing works
// in panel units: the mouse position is converted as it arrives, so hit
// tests and drags behave alike at every scale.
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

    /// The drawn scale nearest to `factor` (in halves: 2, 3 or 4), ties going
    /// up: a window a little large reads better than one a little small, and
    /// every pixel stays one the artwork drew.
    static int snapScale(double factor);
    /// A host's scale for this editor (VST 3 content scale, CLAP, LV2); until
    /// one is given the editor follows the desktop (display::scaleFor). An
    /// open window is made again at the new size.
    void setScale(double factor);
    int scale() const { return scaleHalves; }
    int deviceWidth() const { return panel::toDevice(kWidth, scaleHalves); }
    int deviceHeight() const { return panel::toDevice(kHeight, scaleHalves); }

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

    void onMouseMove(LPARAM position, WPARAM keys = 0);
    void onLeftDown(LPARAM position, WPARAM keys = 0);
    /// A second left press in quick succession: on a knob, its reset.
    void onLeftDoubleClick(LPARAM position, WPARAM keys);
    /// WM_MOUSEWHEEL: a notch (WHEEL_DELTA) is one raw step of the knob under
    /// the pointer, a quarter of one with Shift.
    void onWheel(WPARAM keys, LPARAM screenPosition);
    /// The pointer left the window: no knob is hovered any more.
    void onMouseLeave();
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
    // Shift held during a drag: a quarter of the speed, measured from where
    // the drag last changed speed.
    bool fineDrag = false;
    bool trackingLeave = false;
    int32_t wheelRemainder = 0;  // wheel distance short of a step

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
    /// The dragged knob's value for the pointer at `y`.
    int dragValue(int y) const;
    /// Puts a knob back to program 0's value, as one gesture.
    void resetKnob(int32_t parameter);
    /// False while nothing of the window can be seen: no frame is composed.
    bool windowShown();
    void decideScale();
    void loadSkin(int halves);
    void releaseSkin(int halves);
    void drawControls(const FrameCells& cells);
    void drawReadout();
    /// A readout stroke at panel (x, y), in the segment colour.
    void fillSegment(int x, int y, int width, int height);

    int scaleHalves = panel::kUnscaled;
    bool scaleGiven = false;   // by the host: the desktop is not asked
    bool scaleDecided = false;  // asked since the window last closed
    ERect rect{0, 0, kHeight, kWidth};

    // The artwork at one scale, shared by every editor of the process that
    // has a window open at that scale.
    struct Skin {
        int32_t users = 0;
        HBITMAP panel = nullptr;
        HBITMAP knob = nullptr;
        HBITMAP tube = nullptr;
        HBITMAP circuit = nullptr;
        HDC panelDc = nullptr;
        HDC knobDc = nullptr;
        HDC tubeDc = nullptr;
        HDC circuitDc = nullptr;
    };
    static Skin& skinAt(int halves) { return skins[halves - panel::kUnscaled]; }
    const Skin& skin() const { return skins[scaleHalves - panel::kUnscaled]; }

    static inline int32_t openCount = 0;
    static Skin skins[3];
};
