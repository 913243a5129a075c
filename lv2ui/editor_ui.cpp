#include "lv2ui/editor_ui.h"

#include "core/value_text.h"
#include "platform/run_loop.h"
#include "platform/ui_lock.h"

namespace lv2face {

EditorUi::EditorUi(Write writeFunction, void* controllerHandle, Touch touchFunction, void* context)
    : editor(effect, *this),
      write(writeFunction),
      controller(controllerHandle),
      touch(touchFunction),
      touchContext(context) {}

EditorUi::~EditorUi() {
    const uilock::Guard guard;
    editor.closeWindow();
}

void EditorUi::setScale(double factor) {
    const uilock::Guard guard;
    editor.setScale(factor);
}

std::uintptr_t EditorUi::open(std::uintptr_t parent) {
    const uilock::Guard guard;
    const runloop::CallerDriven drivenByIdle;
    const bool opened = editor.openWindow(reinterpret_cast<void*>(parent)) == 1;
    return opened ? x11face::nativeWindow(editor.window) : 0;
}

void EditorUi::portEvent(uint32_t index, float value) {
    if (index >= static_cast<uint32_t>(kPortCount)) return;
    const Port& port = kPorts[index];
    const uilock::Guard guard;
    if (port.kind == PortKind::kMeter) {
        // Raised as the signal path raises them; the editor lowers them.
        if (value == lastMeter[index]) return;
        lastMeter[index] = value;
        DisplayState& display = effect.display;
        if (port.meter == Meter::kClip) {
            if (value > 0.0f) display.clipLevel = 1.0f;
        } else {
            Relaxed<float>& peak = port.meter == Meter::kPeakLeft ? display.peakLeft : display.peakRight;
            if (value > peak) peak = value;
        }
        return;
    }
    if (port.kind != PortKind::kControl || port.parameter < 0) return;
    const int32_t parameter = port.parameter;
    // The host echoes our own writes, perhaps late: the drag knows better.
    if (editing[parameter]) return;
    const float current = effect.rawValue[parameter];
    // A value that names the step shown keeps it, though another step
    // (Ingain's 64 and 65, both 0 dB) may name it too.
    if (portValue(*port.row, current) == value) return;
    const float raw = rawOfPortValue(*port.row, value);
    if (raw == current) return;
    effect.setParameter(parameter, raw / kRawMaximum[parameter], settled, -1);
    if (!settled) effect.updateReadout(kReadoutNone, 0);
}

void EditorUi::idle() {
    settled = true;
    HWND window = nullptr;
    {
        const uilock::Guard guard;
        if (editor.isOpen != 1) return;
        window = editor.window;
    }
    runloop::handleEvents(window);
    runloop::fireDueTimers(window);
}

void EditorUi::beginEdit(int32_t index) {
    if (!isParameter(index) || editing[index]) return;
    editing[index] = true;
    if (touch) touch(touchContext, static_cast<uint32_t>(portOfParameter(index)), true);
}

void EditorUi::performEdit(int32_t index, float raw) {
    if (!isParameter(index)) return;
    if (!editing[index]) beginEdit(index);
    effect.setParameter(index, raw / kRawMaximum[index], false, -1);
    const int32_t port = portOfParameter(index);
    if (write) write(controller, static_cast<uint32_t>(port), portValue(*kPorts[port].row, effect.rawValue[index]));
}

void EditorUi::endEdit(int32_t index) {
    if (!isParameter(index) || !editing[index]) return;
    editing[index] = false;
    if (touch) touch(touchContext, static_cast<uint32_t>(portOfParameter(index)), false);
}

}  // namespace lv2face
