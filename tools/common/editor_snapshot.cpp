#include "tools/common/editor_snapshot.h"

#include <cstdlib>

#include "tools/common/png_writer.h"

namespace snapshot {

namespace {

// Sets an environment variable for as long as it lives.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (previous_) {
            setenv(name_, previous_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

}  // namespace

std::optional<softwin::Image> captureEditor(AEffect* effect, int ticks, const std::string& scale) {
    if (!effect || !(effect->flags & effFlagsHasEditor)) return std::nullopt;
    const std::vector<HWND> before = softwin::liveWindows();
    const ScopedVariable scaled("VARNOX_SCALE", scale);
    ERect* rect = nullptr;
    effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f);
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

bool writeEditorPng(AEffect* effect, const std::string& path, std::string& error, int ticks,
                    const std::string& scale) {
    const std::optional<softwin::Image> pixels = captureEditor(effect, ticks, scale);
    if (!pixels) {
        error = "the effect opened no editor window";
        return false;
    }
    return pngout::writeRgb(path, pixels->width, pixels->height, pixels->rgb.data(), error);
}

}  // namespace snapshot
