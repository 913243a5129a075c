#include "tools/render/progress.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr auto kQuietStart = std::chrono::milliseconds(500);
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kWidth = 30;

}  // namespace

std::string formatTime(double seconds) {
    int whole = static_cast<int>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d", whole / 60, whole % 60);
    return text;
}

ProgressBar::ProgressBar(bool enabled) : enabled(enabled), started(std::chrono::steady_clock::now()) {}

void ProgressBar::show(double fraction, const std::string& detail) {
    if (!enabled) return;
    auto now = std::chrono::steady_clock::now();
    if (now - started < kQuietStart || now - lastDrawn < kRedrawInterval) return;
    lastDrawn = now;
    fraction = std::clamp(fraction, 0.0, 1.0);
    int filled = static_cast<int>(fraction * kWidth);
    std::fprintf(stderr, "\r[%s%s] %3d%%  %s\033[K", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kWidth - filled), '-').c_str(), static_cast<int>(fraction * 100.0),
                 detail.c_str());
    std::fflush(stderr);
    drawn = true;
}

void ProgressBar::clear() {
    if (!drawn) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn = false;
}
