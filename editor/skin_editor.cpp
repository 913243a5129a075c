// SkinEditor: construction, the editor interface, the window and its timer.
#include "editor/skin_editor.h"

#include <cmath>

#include "core/effect_core.h"
#include "editor/frame_cells.h"
#include "host/effect_base.h"
#include "platform/display_scale.h"
#include "platform/window_data.h"

namespace {

constexpr char kClassName[] = "varnoxclass";
constexpr char kWindowName[] = "varnox";
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTickMilliseconds = 50;

HINSTANCE instanceHandle() { return static_cast<HINSTANCE>(moduleInstance); }

}  // namespace

SkinEditor::Skin SkinEditor::skins[3];

SkinEditor::SkinEditor(EffectCore& effect, EditEvents& edits, EffectBase* owner)
    : EditorBase(owner), shaper(effect), edits(edits) {
    if (owner) owner->attachEditor(this);
}

// Hosts should close the editor before they close the effect; one that does
// not would otherwise leave a live timer pointing at this object.
SkinEditor::~SkinEditor() { closeWindow(); }

int SkinEditor::snapScale(double factor) {
    if (!(factor > 0.0)) return panel::kUnscaled;
    const double halves = std::floor(factor * 2.0 + 0.5);
    if (halves <= panel::kScaleHalves[0]) return panel::kScaleHalves[0];
    if (halves >= panel::kScaleHalves[2]) return panel::kScaleHalves[2];
    return static_cast<int>(halves);
}

void SkinEditor::setScale(double factor) {
    scaleGiven = true;
    const int halves = snapScale(factor);
    if (halves == scaleHalves) return;
    scaleHalves = halves;
    rect = ERect{0, 0, static_cast<int16_t>(deviceHeight()), static_cast<int16_t>(deviceWidth())};
    if (isOpen == 1) {
        void* parent = parentWindow;
        closeWindow();
        openWindow(parent);
    }
}

// The desktop is asked once per opening: hosts ask for the rectangle often,
// and the answer must not change under an open window.
void SkinEditor::decideScale() {
    if (scaleGiven || scaleDecided || isOpen == 1) return;
    scaleDecided = true;
    scaleHalves = snapScale(display::scaleFor(parentWindow));
    rect = ERect{0, 0, static_cast<int16_t>(deviceHeight()), static_cast<int16_t>(deviceWidth())};
}

int32_t SkinEditor::queryRect(ERect** where) {
    if (!where) return 0;
    decideScale();
    *where = &rect;
    return 1;
}

int32_t SkinEditor::openWindow(void* parent) {
    // A second open without a close would orphan the first window and its timer.
    if (isOpen == 1) closeWindow();

    // A rectangle already given to the host stands; else the parent's
    // screen decides, where the system can tell (Windows).
    parentWindow = parent;
    decideScale();
    ++openCount;
    if (openCount == 1) {
        WNDCLASSA windowClass{};
        // Double clicks reset a knob; on everything else they stay presses.
        windowClass.style = CS_DBLCLKS;
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

    HWND created = CreateWindowExA(0, kClassName, kWindowName, WS_CHILD | WS_VISIBLE, 0, 0, deviceWidth(),
                                   deviceHeight(), static_cast<HWND>(parentWindow), nullptr, instanceHandle(), nullptr);
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
    backBitmap = CreateCompatibleBitmap(windowDc, deviceWidth(), deviceHeight());
    savedBitmap = static_cast<HBITMAP>(SelectObject(backDc, backBitmap));
    loadSkin(scaleHalves);

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
    releaseSkin(scaleHalves);

    --openCount;
    if (openCount == 0) UnregisterClassA(kClassName, instanceHandle());
    window = nullptr;
    windowDc = backDc = nullptr;
    backBitmap = savedBitmap = nullptr;

    // The button release that would end a held knob can no longer reach us;
    // left alone, the next open would resume the drag and keep automating.
    endDrag();
    trackingLeave = false;
    scaleDecided = false;
}

void SkinEditor::loadSkin(int halves) {
    Skin& set = skinAt(halves);
    if (set.users++ > 0) return;
    const auto load = [halves](int id) {
        return static_cast<HBITMAP>(LoadImageA(static_cast<HINSTANCE>(moduleInstance),
                                               MAKEINTRESOURCEA(panel::bitmapId(id, halves)), IMAGE_BITMAP, 0, 0, 0));
    };
    set.panel = load(panel::kPanelBitmapId);
    set.knob = load(panel::kKnobStripId);
    set.tube = load(panel::kTubeStripId);
    set.circuit = load(panel::kCircuitStripId);
    const auto select = [this](HBITMAP bitmap) {
        HDC dc = CreateCompatibleDC(windowDc);
        SelectObject(dc, bitmap);
        return dc;
    };
    set.panelDc = select(set.panel);
    set.knobDc = select(set.knob);
    set.tubeDc = select(set.tube);
    set.circuitDc = select(set.circuit);
}

void SkinEditor::releaseSkin(int halves) {
    Skin& set = skinAt(halves);
    if (--set.users > 0) return;
    for (HDC dc : {set.panelDc, set.knobDc, set.tubeDc, set.circuitDc}) DeleteDC(dc);
    for (HBITMAP bitmap : {set.panel, set.knob, set.tube, set.circuit}) DeleteObject(bitmap);
    set = Skin{};
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
        editor->onMouseMove(lParam, wParam);
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        break;
    case WM_LBUTTONDOWN:
        editor->onLeftDown(lParam, wParam);
        SetCapture(window);
        break;
    case WM_LBUTTONDBLCLK:
        editor->onLeftDoubleClick(lParam, wParam);
        SetCapture(window);
        break;
    case WM_LBUTTONUP:
        editor->onLeftUp(lParam);
        ReleaseCapture();
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:  // quick right clicks stay clicks
        editor->onRightDown(lParam);
        SetCapture(window);
        break;
    case WM_RBUTTONUP:
        editor->onRightUp(lParam);
        ReleaseCapture();
        break;
    case WM_MOUSEWHEEL:
        editor->onWheel(wParam, lParam);
        return 0;  // taken: not passed on to the parent
    case WM_MOUSELEAVE:
        editor->onMouseLeave();
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

    // Unseen, the frame is not composed; the animations still move on, so
    // the picture that comes back is the one an always-visible editor shows.
    if (!windowShown()) {
        if (dragMode != kDragAbout) advanceFrame(shaper);
        redrawMode = 1;
        return;
    }
    drawFrame(redrawMode);
}

bool SkinEditor::windowShown() {
    RECT visible;
    return IsWindowVisible(window) && GetClipBox(windowDc, &visible) != NULLREGION;
}
