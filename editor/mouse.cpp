// SkinEditor mouse handling. Messages only record the pointer and the press;
// a held knob takes its value on the timer tick (dragStep).
#include <algorithm>
#include <cmath>

#include "core/effect_core.h"
#include "editor/panel_layout.h"
#include "editor/skin_editor.h"

namespace {

constexpr int kKnobMaximum = 128;
constexpr float kKnobMiddle = 64.0f;

// Client coordinates are signed 16-bit; negative while captured outside.
int16_t pointerX(LPARAM position) { return static_cast<int16_t>(LOWORD(position)); }
int16_t pointerY(LPARAM position) { return static_cast<int16_t>(HIWORD(position)); }

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

void SkinEditor::onMouseMove(LPARAM position) {
    mouseX = pointerX(position);
    mouseY = pointerY(position);
}

void SkinEditor::onLeftDown(LPARAM position) {
    mouseX = pointerX(position);
    mouseY = pointerY(position);
    const int hit = dragMode == 0 ? controlAt(mouseX, mouseY) : -1;
    if (hit >= 0) {
        const panel::Control& control = panel::kControls[hit];
        const int32_t parameter = control.parameter;
        switch (control.kind) {
        case panel::ControlKind::kKnob:
            dragStartY = mouseY;
            dragStartValue = shaper.rawValue[parameter];
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

void SkinEditor::onRightDown(LPARAM position) {
    mouseX = pointerX(position);
    mouseY = pointerY(position);
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

void SkinEditor::dragStep() {
    if (activeControl >= panel::kKnobCount) return;
    // One pixel up is one raw unit up, measured from the press point only.
    const float start = std::isnan(dragStartValue) ? 0.0f : std::clamp(dragStartValue, -1.0e6f, 1.0e6f);
    int value = static_cast<int>(std::trunc(start)) + dragStartY - mouseY;
    value = std::clamp(value, 0, kKnobMaximum);
    edits.performEdit(panel::kControls[activeControl].parameter, static_cast<float>(value));
}

void SkinEditor::click(std::initializer_list<RawEdit> changes) {
    for (const RawEdit& change : changes) shaper.storeRaw(change.index, change.raw);
    for (const RawEdit& change : changes) {
        edits.beginEdit(change.index);
        edits.performEdit(change.index, change.raw);
        edits.endEdit(change.index);
    }
}
