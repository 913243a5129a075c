// The user-interface lock. On Linux the software window layer is entered from
// the host's threads and from the event threads of windows embedded in X11,
// so one process-wide lock serialises everything that reaches a window
// procedure: every call into the layer, every message and timer an event
// thread delivers, and the host requests that open, close, idle or destroy an
// editor. On Windows the real message loop already serialises all of that,
// and the guard does nothing.
#pragma once

#if !defined(_WIN32)
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
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

/// Recursive, because a window procedure calls back into the layer. An event
/// thread waits in a way its window can cancel: the thread that destroys the
/// window holds the lock while it waits for the event thread to end.
class Mutex {
public:
    void lock();
    void unlock();
    /// Waits for the lock like lock(), unless `cancelled` is (or becomes) set:
    /// then answers false without it. Whoever sets the flag calls wakeWaiters().
    bool lockUnless(const std::atomic<bool>& cancelled);
    void wakeWaiters();

private:
    std::mutex state_;
    std::condition_variable released_;
    std::thread::id owner_;
    unsigned depth_ = 0;
};

/// The one lock of the library.
Mutex& mutex();

class Guard {
public:
    Guard() { mutex().lock(); }
    ~Guard() { mutex().unlock(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
};

#endif

}  // namespace uilock
