// SkinEditor mouse handling. Messages only record the pointer and the press;
// a held knob takes its value on the timer tick (dragStep).
#include <algorithm>
#include <climits>
#include <cmath>

#include "core/effect_core.h"
#include "editor/panel_layout.h"
#include "editor/skin_editor.h"

namespace {

constexpr int kKnobMaximum = 128;
constexpr float kKnobMiddle = 64.0f;
// Shift: four times the travel (pointer or wheel) for one raw step.
constexpr int kFineFactor = 4;
// Where the pointer is when it is nowhere over the panel.
constexpr int16_t kOutside = INT16_MIN;

// Client coordinates are signed 16-bit; negative while captured outside.
// They arrive in device pixels and are kept in panel units.
int16_t pointerX(LPARAM position, int halves) {
    return static_cast<int16_t>(panel::toPanel(static_cast<int16_t>(LOWORD(position)), halves));
}
int16_t pointerY(LPARAM position, int halves) {
    return static_cast<int16_t>(panel::toPanel(static_cast<int16_t>(HIWORD(position)), halves));
}

// Floor division: a fine drag one unit below its anchor is a step down.
int floorDivide(int a, int b) { return a >= 0 ? a / b : -((b - 1 - a) / b); }

bool isKnob(int hit) { return hit >= 0 && panel::kControls[hit].kind == panel::ControlKind::kKnob; }

// A switch reads as on when its value truncates to anything but 0. Toggling
// by that reading keeps the result 0 or 1 even after a host sent a value
// outside 0..1.
float toggled(float raw) { return std::trunc(raw) != 0.0f ? 0.0f : 1.0f; }

// The first control in the layout table that takes the point, and its place
// in the table (for a knob, its knob index); -1 when none does.
int controlAt(int x, int y) {
    for (std::size_t c = 0; c < panel::kControls.size(); ++c) {
        if (panel::hits(panel::kControls[c].area, x, y)) return static_cast<int>(c);
    }
    return -1;
}

}  // namespace

void SkinEditor::onMouseMove(LPARAM position, WPARAM keys) {
    // Shift pressed or let go mid-drag: the new speed starts from here, so
    // the knob does not jump.
    const bool fine = (keys & MK_SHIFT) != 0;
    if (dragMode == kDragKnob && fine != fineDrag) {
        dragStartValue = static_cast<float>(dragValue(mouseY));
        dragStartY = mouseY;
        fineDrag = fine;
    }
    mouseX = pointerX(position, scaleHalves);
    mouseY = pointerY(position, scaleHalves);
    if (!trackingLeave && window) {
        TRACKMOUSEEVENT request{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
        trackingLeave = TrackMouseEvent(&request) != FALSE;
    }
}

void SkinEditor::onMouseLeave() {
    trackingLeave = false;
    // A held knob keeps following the captured pointer.
    if (dragMode != 0) return;
    mouseX = kOutside;
    mouseY = kOutside;
}

void SkinEditor::onLeftDown(LPARAM position, WPARAM keys) {
    mouseX = pointerX(position, scaleHalves);
    mouseY = pointerY(position, scaleHalves);
    const int hit = dragMode == 0 ? controlAt(mouseX, mouseY) : -1;
    if (isKnob(hit) && (keys & MK_CONTROL)) {
        resetKnob(panel::kControls[hit].parameter);
    } else if (hit >= 0) {
        const panel::Control& control = panel::kControls[hit];
        const int32_t parameter = control.parameter;
        switch (control.kind) {
        case panel::ControlKind::kKnob:
            dragStartY = mouseY;
            dragStartValue = shaper.rawValue[parameter];
            fineDrag = (keys & MK_SHIFT) != 0;
            dragMode = kDragKnob;
            activeControl = static_cast<uint8_t>(hit);
            edits.beginEdit(parameter);
            break;
        case panel::ControlKind::kButton:
            click({{parameter, toggled(shaper.rawValue[parameter])}});
            break;
        case panel::ControlKind::kLogo:
            redrawMode = 2;
            dragMode = kDragAbout;
            break;
        }
    }
    shaper.updateReadout(shaper.display.readoutKind, 0);
}

void SkinEditor::onLeftUp(LPARAM /*position*/) { endDrag(); }

void SkinEditor::onRightUp(LPARAM /*position*/) { endDrag(); }

void SkinEditor::endDrag() {
    if (dragMode == kDragAbout) redrawMode = 1;
    if (dragMode == kDragKnob && activeControl < panel::kKnobCount) {
        edits.endEdit(panel::kControls[activeControl].parameter);
    }
    dragMode = 0;
    activeControl = kNoControl;
}

void SkinEditor::onLeftDoubleClick(LPARAM position, WPARAM keys) {
    const int hit = dragMode == 0 ? controlAt(pointerX(position, scaleHalves), pointerY(position, scaleHalves)) : -1;
    if (!isKnob(hit)) {
        // Buttons and the logo take the second press as one more press.
        onLeftDown(position, keys);
        return;
    }
    mouseX = pointerX(position, scaleHalves);
    mouseY = pointerY(position, scaleHalves);
    resetKnob(panel::kControls[hit].parameter);
    shaper.updateReadout(shaper.display.readoutKind, 0);
}

void SkinEditor::resetKnob(int32_t parameter) { click({{parameter, kParameters[parameter].defaultRaw}}); }

void SkinEditor::onWheel(WPARAM keys, LPARAM screenPosition) {
    POINT point{static_cast<int16_t>(LOWORD(screenPosition)), static_cast<int16_t>(HIWORD(screenPosition))};
    if (!window || !ScreenToClient(window, &point)) return;
    const int hit = controlAt(panel::toPanel(point.x, scaleHalves), panel::toPanel(point.y, scaleHalves));
    if (!isKnob(hit)) {
        wheelRemainder = 0;
        return;
    }
    // Fine wheels send small distances; they add up to whole steps.
    const int notch = (GET_KEYSTATE_WPARAM(keys) & MK_SHIFT) ? WHEEL_DELTA * kFineFactor : WHEEL_DELTA;
    wheelRemainder += GET_WHEEL_DELTA_WPARAM(keys);
    const int steps = wheelRemainder / notch;
    wheelRemainder -= steps * notch;
    if (steps == 0) return;
    const int32_t parameter = panel::kControls[hit].parameter;
    const float raw = shaper.rawValue[parameter];
    const int from = std::isnan(raw) ? 0 : static_cast<int>(std::clamp(raw, 0.0f, static_cast<float>(kKnobMaximum)));
    const int to = std::clamp(from + steps, 0, kKnobMaximum);
    if (to != from || raw != static_cast<float>(from)) click({{parameter, static_cast<float>(to)}});
}

void SkinEditor::onRightDown(LPARAM position) {
    mouseX = pointerX(position, scaleHalves);
    mouseY = pointerY(position, scaleHalves);
    const int hit = controlAt(mouseX, mouseY);
    if (hit >= 0) {
        const panel::Control& control = panel::kControls[hit];
        const int32_t parameter = control.parameter;
        switch (control.kind) {
        case panel::ControlKind::kKnob:
            if (parameter == kDrive) {
                // Drive switches off and a second click brings back what it was.
                float drive = shaper.rawValue[kDrive];
                if (drive != 0.0f) {
                    savedDrive = drive;
                    drive = 0.0f;
                } else if (savedDrive != 0.0f) {
                    drive = savedDrive;
                }
                click({{kDrive, drive}});
            } else {
                click({{parameter, kKnobMiddle}});
            }
            break;
        case panel::ControlKind::kButton: {
            // The pair always ends in opposite states, the clicked one reported first.
            const int32_t other = parameter == kTimesTwo ? kBoost : kTimesTwo;
            const float clicked = toggled(shaper.rawValue[parameter]);
            click({{parameter, clicked}, {other, 1.0f - clicked}});
            break;
        }
        case panel::ControlKind::kLogo:
            break;
        }
    }
    shaper.updateReadout(shaper.display.readoutKind, 0);
}

int SkinEditor::dragValue(int y) const {
    // One panel unit up is one raw unit up (a quarter with Shift), measured
    // from the press point only.
    const float start = std::isnan(dragStartValue) ? 0.0f : std::clamp(dragStartValue, -1.0e6f, 1.0e6f);
    const int travel = fineDrag ? floorDivide(dragStartY - y, kFineFactor) : dragStartY - y;
    return std::clamp(static_cast<int>(std::trunc(start)) + travel, 0, kKnobMaximum);
}

void SkinEditor::dragStep() {
    if (activeControl >= panel::kKnobCount) return;
    edits.performEdit(panel::kControls[activeControl].parameter, static_cast<float>(dragValue(mouseY)));
}

void SkinEditor::click(std::initializer_list<RawEdit> changes) {
    for (const RawEdit& change : changes) shaper.storeRaw(change.index, change.raw);
    for (const RawEdit& change : changes) {
        edits.beginEdit(change.index);
        edits.performEdit(change.index, change.raw);
        edits.endEdit(change.index);
    }
}
