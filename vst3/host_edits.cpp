#include "vst3/host_edits.h"

namespace vst3face {

void HostEdits::begin(int32_t index) {
    if (!isParameter(index)) return;
    const std::lock_guard<std::mutex> lock(mutex);
    edits[index].held = true;
}

void HostEdits::perform(int32_t index, double normalized) {
    if (!isParameter(index)) return;
    const std::lock_guard<std::mutex> lock(mutex);
    Edit& edit = edits[index];
    // A value outside a gesture (never from our editor) is a gesture of its own.
    if (!edit.held) edit.ended = true;
    edit.hasValue = true;
    edit.value = normalized;
}

void HostEdits::end(int32_t index) {
    if (!isParameter(index)) return;
    const std::lock_guard<std::mutex> lock(mutex);
    Edit& edit = edits[index];
    if (!edit.held) return;
    edit.held = false;
    edit.ended = true;
}

void HostEdits::deliver(vst3::IComponentHandler* handler) {
    // A host may answer an edit by calling back into the effect, which hands
    // over again: the outer hand-over finishes the work.
    if (delivering) return;
    delivering = true;
    std::array<Edit, kParamCount> taken;
    {
        // The host is called without the lock: it may call back in, and the
        // editor's thread must never wait for the host.
        const std::lock_guard<std::mutex> lock(mutex);
        taken = edits;
        for (Edit& edit : edits) {
            edit.ended = false;
            edit.hasValue = false;
        }
    }
    for (int32_t i = 0; i < kParamCount; ++i) {
        const Edit& edit = taken[i];
        const auto id = static_cast<vst3::ParamID>(i);
        const bool touched = edit.hasValue || edit.ended || edit.held != open[i];
        if (!touched || !handler) {
            if (!handler) open[i] = false;
            continue;
        }
        // One gesture ended and the next began since the host last heard:
        // it hears both.
        if (open[i] && edit.ended && edit.held) {
            handler->endEdit(id);
            open[i] = false;
        }
        if (!open[i]) handler->beginEdit(id);
        open[i] = true;
        if (edit.hasValue) handler->performEdit(id, edit.value);
        if (!edit.held) {
            handler->endEdit(id);
            open[i] = false;
        }
    }
    delivering = false;
}

void HostEdits::closeAll(vst3::IComponentHandler* handler) {
    for (int32_t i = 0; i < kParamCount; ++i) {
        if (open[i] && handler) handler->endEdit(static_cast<vst3::ParamID>(i));
        open[i] = false;
    }
}

}  // namespace vst3face
