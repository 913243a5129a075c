// One progress line on standard error, only on a terminal and only once a run
// has gone on for a moment, so that short runs and pipelines stay quiet.
#pragma once

#include <chrono>
#include <string>

class ProgressBar {
public:
    explicit ProgressBar(bool enabled);
    ~ProgressBar() { clear(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    /// Draws `fraction` (0..1) and `detail` at most ten times a second.
    void show(double fraction, const std::string& detail);
    /// Removes the line, so that other output starts on a clean one.
    void clear();

private:
    bool enabled;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastDrawn{};
    bool drawn = false;
};

/// 0:12 for twelve seconds, 61:05 for an hour and a bit.
std::string formatTime(double seconds);
