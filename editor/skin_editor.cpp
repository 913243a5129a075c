// SkinEditor: construction, the editor interface, the window and its timer.
#include "editor/skin_editor.h"

#include "core/effect_core.h"
#include "host/effect_base.h"
#include "platform/window_data.h"

namespace {

constexpr char kClassName[] = "varnoxclass";
constexpr char kWindowName[] = "varnox";
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTickMilliseconds = 50;

ERect editorRect{0, 0, SkinEditor::kHeight, SkinEditor::kWidth};

HINSTANCE instanceHandle() { return static_cast<HINSTANCE>(moduleInstance); }

}  // namespace

SkinEditor::SkinEditor(EffectCore& effect, EditEvents& edits, EffectBase* owner)
    : EditorBase(owner), shaper(effect), edits(edits) {
    if (owner) owner->attachEditor(this);
}

// Hosts should close the editor before they close the effect; one that does
// not would otherwise leave a live timer pointing at this object.
SkinEditor::~SkinEditor() { closeWindow(); }

int32_t SkinEditor::queryRect(ERect** rect) {
    if (!rect) return 0;
    *rect = &editorRect;
    return 1;
}

int32_t SkinEditor::openWindow(void* parent) {
    // A second open without a close would orphan the first window and its timer.
    if (isOpen == 1) closeWindow();

    parentWindow = parent;
    ++openCount;
    if (openCount == 1) {
        WNDCLASSA windowClass{};
        windowClass.style = 0;
        windowClass.lpfnWndProc = windowProc;
        windowClass.cbClsExtra = 0;
        windowClass.cbWndExtra = 0;
        windowClass.hInstance = instanceHandle();
        windowClass.hIcon = nullptr;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszMenuName = nullptr;
        windowClass.lpszClassName = kClassName;
        RegisterClassA(&windowClass);
    }

    HWND created = CreateWindowExA(0, kClassName, kWindowName, WS_CHILD | WS_VISIBLE, 0, 0, kWidth, kHeight,
                                   static_cast<HWND>(parentWindow), nullptr, instanceHandle(), nullptr);
    if (!created) {
        // Without a window every later call would go to a null handle, which
        // Win32 reads as the whole screen; tell the host instead.
        --openCount;
        if (openCount == 0) UnregisterClassA(kClassName, instanceHandle());
        return 0;
    }
    storeWindowObject(created, this);
    window = created;

    windowDc = GetDC(window);
    backDc = CreateCompatibleDC(windowDc);
    backBitmap = CreateCompatibleBitmap(windowDc, kWidth, kHeight);
    savedBitmap = static_cast<HBITMAP>(SelectObject(backDc, backBitmap));

    if (openCount == 1) {
        panelDc = CreateCompatibleDC(windowDc);
        knobDc = CreateCompatibleDC(windowDc);
        tubeDc = CreateCompatibleDC(windowDc);
        circuitDc = CreateCompatibleDC(windowDc);
        loadSkin();
        SelectObject(panelDc, panelBitmap);
        SelectObject(knobDc, knobStrip);
        SelectObject(tubeDc, tubeStrip);
        SelectObject(circuitDc, circuitStrip);
    }

    timerId = SetTimer(window, kTimerId, kTickMilliseconds, nullptr);
    isOpen = 1;
    return 1;
}

void SkinEditor::closeWindow() {
    if (isOpen != 1) return;
    isOpen = 0;

    KillTimer(window, timerId);
    DestroyWindow(window);
    ReleaseDC(window, windowDc);

    SelectObject(backDc, savedBitmap);
    DeleteDC(backDc);
    DeleteObject(backBitmap);

    --openCount;
    if (openCount == 0) {
        DeleteDC(panelDc);
        DeleteObject(panelBitmap);
        DeleteDC(knobDc);
        DeleteObject(knobStrip);
        DeleteDC(tubeDc);
        DeleteObject(tubeStrip);
        DeleteDC(circuitDc);
        DeleteObject(circuitStrip);
        UnregisterClassA(kClassName, instanceHandle());
        panelDc = knobDc = tubeDc = circuitDc = nullptr;
        panelBitmap = knobStrip = tubeStrip = circuitStrip = nullptr;
    }
    window = nullptr;
    windowDc = backDc = nullptr;
    backBitmap = savedBitmap = nullptr;

    // The button release that would end a held knob can no longer reach us;
    // left alone, the next open would resume the drag and keep automating.
    endDrag();
}

void SkinEditor::onIdle() {}

LRESULT CALLBACK SkinEditor::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* editor = static_cast<SkinEditor*>(windowObject(window));
    if (!editor) return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_PAINT:
        editor->redrawMode = 1;
        break;
    case WM_ERASEBKGND:
        editor->redrawMode = 1;
        return 1;
    case WM_TIMER:
        if (wParam == editor->timerId) editor->onTimer();
        break;
    case WM_MOUSEMOVE:
        editor->onMouseMove(lParam);
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        break;
    case WM_LBUTTONDOWN:
        editor->onLeftDown(lParam);
        SetCapture(window);
        break;
    case WM_LBUTTONUP:
        editor->onLeftUp(lParam);
        ReleaseCapture();
        break;
    case WM_RBUTTONDOWN:
        editor->onRightDown(lParam);
        SetCapture(window);
        break;
    case WM_RBUTTONUP:
        editor->onRightUp(lParam);
        ReleaseCapture();
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void SkinEditor::onTimer() {
    if (isOpen != 1) return;

    // A readout set from the host stays up while its hold lasts; after that
    // it follows the dragged knob, else the knob under the pointer.
    DisplayState& display = shaper.display;
    if (display.readoutHold > 0) {
        display.readoutHold = display.readoutHold - 1;
    } else {
        display.readoutText.clear();
        display.readoutKind = kReadoutNone;
        for (int k = 0; k < panel::kKnobCount; ++k) {
            const bool dragged = activeControl == k;
            const bool hovered = activeControl == kNoControl && panel::hits(panel::kControls[k].area, mouseX, mouseY);
            if (dragged || hovered) {
                display.readoutKind = k;
                break;
            }
        }
        if (display.readoutKind != kReadoutNone) shaper.updateReadout(display.readoutKind, 0);
    }

    if (dragMode != 0) {
        if (dragMode == kDragKnob) dragStep();
        // While the about panel is held there is no knob: 255 reads as -1, no readout.
        shaper.updateReadout(static_cast<int8_t>(activeControl), 0);
    }

    drawFrame(redrawMode);
}
