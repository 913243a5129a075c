// The user-interface lock: a recursive lock whose wait an event thread can
// give up (std::recursive_timed_mutex would do it by polling).
#include "platform/ui_lock.h"

namespace uilock {

void Mutex::lock() {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> state(state_);
    if (depth_ > 0 && owner_ == self) {
        ++depth_;
        return;
    }
    released_.wait(state, [this] { return depth_ == 0; });
    owner_ = self;
    depth_ = 1;
}

void Mutex::unlock() {
    std::unique_lock<std::mutex> state(state_);
    if (--depth_ > 0) return;
    owner_ = std::thread::id();
    state.unlock();
    // Every waiter looks: one of them may be an event thread told to stop.
    released_.notify_all();
}

bool Mutex::lockUnless(const std::atomic<bool>& cancelled) {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> state(state_);
    if (depth_ > 0 && owner_ == self) {
        ++depth_;
        return true;
    }
    released_.wait(state, [&] { return depth_ == 0 || cancelled; });
    if (depth_ != 0) return false;
    owner_ = self;
    depth_ = 1;
    return true;
}

void Mutex::wakeWaiters() {
    // Taking the state lock orders the flag before the waiter's next look.
    { const std::lock_guard<std::mutex> state(state_); }
    released_.notify_all();
}

Mutex& mutex() {
    static Mutex instance;
    return instance;
}

}  // namespace uilock
