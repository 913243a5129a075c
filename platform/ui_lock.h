// The user-interface lock. On Linux the software window layer is entered from
// the host's threads and from the event threads of windows embedded in X11,
// so one process-wide lock serialises everything that reaches a window
// procedure: every call into the layer, every message and timer an event
// thread delivers, and the host requests that open, close, idle or destroy an
// editor. On Windows the real message loop already serialises all of that,
// and the guard does nothing.
#pragma once

#if !defined(_WIN32)
#include <mutex>
#endif

namespace uilock {

#if defined(_WIN32)

class Guard {
public:
    // User-provided, so that a guard nobody reads is not warned about.
    Guard() {}
    ~Guard() {}
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
};

#else

/// Recursive, because a window procedure calls back into the layer; timed,
/// so that an event thread can stop waiting when its window is being closed.
std::recursive_timed_mutex& mutex();

class Guard {
public:
    Guard() : lock_(mutex()) {}
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    std::lock_guard<std::recursive_timed_mutex> lock_;
};

#endif

}  // namespace uilock
