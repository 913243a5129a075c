// A value shared between the audio thread, the host's automation thread and
// the editor's timer without a lock. Each load and store is one whole 32-bit
// access (a stale value costs at most one block or one frame), made a relaxed
// atomic so that the sharing is well defined rather than a data race.
#pragma once

#include <atomic>

template <typename T>
class Relaxed {
public:
    constexpr Relaxed(T value = T{}) noexcept : value_(value) {}
    Relaxed(const Relaxed& other) noexcept : value_(other.load()) {}
    Relaxed& operator=(const Relaxed& other) noexcept {
        store(other.load());
        return *this;
    }
    Relaxed& operator=(T value) noexcept {
        store(value);
        return *this;
    }
    operator T() const noexcept { return load(); }
    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void store(T value) noexcept { value_.store(value, std::memory_order_relaxed); }
    /// A store in the single order of all sequentially consistent operations:
    /// for a value whose writer then checks that nothing overtook it.
    void storeInOrder(T value) noexcept { value_.store(value, std::memory_order_seq_cst); }

private:
    std::atomic<T> value_;
};

static_assert(std::atomic<float>::is_always_lock_free && sizeof(Relaxed<float>) == 4);
static_assert(std::atomic<int>::is_always_lock_free && sizeof(Relaxed<int>) == 4);
