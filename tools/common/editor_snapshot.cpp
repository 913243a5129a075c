#include "tools/common/editor_snapshot.h"

#include "tools/common/png_writer.h"

namespace snapshot {

std::optional<softwin::Image> captureEditor(AEffect* effect, int ticks) {
    if (!effect || !(effect->flags & effFlagsHasEditor)) return std::nullopt;
    const std::vector<HWND> before = softwin::liveWindows();
    if (effect->dispatcher(effect, effEditOpen, 0, 0, nullptr, 0.0f) == 0) return std::nullopt;
    // The editor's window is the one that was not there before.
    HWND window = nullptr;
    for (HWND candidate : softwin::liveWindows()) {
        bool seen = false;
        for (HWND old : before) seen = seen || old == candidate;
        if (!seen) window = candidate;
    }
    for (int i = 0; i < ticks && window; ++i) softwin::tick();
    std::optional<softwin::Image> pixels = softwin::windowPixels(window);
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    return pixels;
}

bool writeEditorPng(AEffect* effect, const std::string& path, std::string& error, int ticks) {
    const std::optional<softwin::Image> pixels = captureEditor(effect, ticks);
    if (!pixels) {
        error = "the effect opened no editor window";
        return false;
    }
    return pngout::writeRgb(path, pixels->width, pixels->height, pixels->rgb.data(), error);
}

}  // namespace snapshot
