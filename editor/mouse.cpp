// SkinEditor mouse handling. Messages only record the pointer and the press;
// a held knob takes its value on the timer tick (dragStep).
#include <algorithm>
#include <cmath>

#include "editor/controls.h"
#include "editor/skin_editor.h"
#include "engine/shaper_effect.h"

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

}  // namespace

void SkinEditor::onMouseMove(LPARAM position) {
    mouseX = pointerX(position);
    mouseY = pointerY(position);
}

void SkinEditor::onLeftDown(LPARAM position) {
    mouseX = pointerX(position);
    mouseY = pointerY(position);
    if (dragMode == 0) {
        const controls::HitResult hit = controls::hitTest(mouseX, mouseY);
        switch (hit.what) {
        case controls::Hit::kKnob:
            dragStartY = mouseY;
            dragStartValue = shaper.rawValue[controls::kKnobParameter[hit.knob]];
            dragMode = kDragKnob;
            activeControl = static_cast<uint8_t>(hit.knob);
            break;
        case controls::Hit::kTimesTwo:
            shaper.rawValue[kTimesTwo] = toggled(shaper.rawValue[kTimesTwo]);
            shaper.reportParameter(kTimesTwo);
            break;
        case controls::Hit::kBoost:
            shaper.rawValue[kBoost] = toggled(shaper.rawValue[kBoost]);
            shaper.reportParameter(kBoost);
            break;
        case controls::Hit::kLogo:
            redrawMode = 2;
            dragMode = kDragAbout;
            break;
        case controls::Hit::kNothing:
            break;
        }
    }
    shaper.updateReadout(readoutKind, 0);
}

void SkinEditor::onLeftUp(LPARAM /*position*/) { endDrag(); }

void SkinEditor::onRightUp(LPARAM /*position*/) { endDrag(); }

void SkinEditor::endDrag() {
    if (dragMode == kDragAbout) redrawMode = 1;
    dragMode = 0;
    activeControl = kNoControl;
}

void SkinEditor::onRightDown(LPARAM position) {
    mouseX = pointerX(position);
    mouseY = pointerY(position);
    const controls::HitResult hit = controls::hitTest(mouseX, mouseY);
    switch (hit.what) {
    case controls::Hit::kKnob: {
        const int32_t parameter = controls::kKnobParameter[hit.knob];
        if (parameter == kDrive) {
            // Drive switches off and a second click brings back what it was.
            if (shaper.rawValue[kDrive] != 0.0f) {
                savedDrive = shaper.rawValue[kDrive];
                shaper.rawValue[kDrive] = 0.0f;
            } else if (savedDrive != 0.0f) {
                shaper.rawValue[kDrive] = savedDrive;
            }
        } else {
            shaper.rawValue[parameter] = kKnobMiddle;
        }
        shaper.reportParameter(parameter);
        break;
    }
    case controls::Hit::kTimesTwo:
        // The pair always ends in opposite states.
        shaper.rawValue[kTimesTwo] = toggled(shaper.rawValue[kTimesTwo]);
        shaper.rawValue[kBoost] = 1.0f - shaper.rawValue[kTimesTwo];
        shaper.reportParameter(kTimesTwo);
        shaper.reportParameter(kBoost);
        break;
    case controls::Hit::kBoost:
        shaper.rawValue[kBoost] = toggled(shaper.rawValue[kBoost]);
        shaper.rawValue[kTimesTwo] = 1.0f - shaper.rawValue[kBoost];
        shaper.reportParameter(kBoost);
        shaper.reportParameter(kTimesTwo);
        break;
    case controls::Hit::kLogo:
    case controls::Hit::kNothing:
        break;
    }
    shaper.updateReadout(readoutKind, 0);
}

void SkinEditor::dragStep() {
    if (activeControl >= controls::kKnobCount) return;
    // One pixel up is one raw unit up, measured from the press point only.
    const float start = std::isnan(dragStartValue) ? 0.0f : std::clamp(dragStartValue, -1.0e6f, 1.0e6f);
    int value = static_cast<int>(std::trunc(start)) + dragStartY - mouseY;
    value = std::clamp(value, 0, kKnobMaximum);
    const int32_t parameter = controls::kKnobParameter[activeControl];
    shaper.rawValue[parameter] = static_cast<float>(value);
    shaper.reportParameter(parameter);
}
