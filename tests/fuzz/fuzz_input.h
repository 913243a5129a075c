// Reads a fuzzer's bytes as a host's decisions. Exhausted input reads as
// zeros, so every byte string is a valid, finite run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace fuzzing {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return position_ >= size_; }

    std::uint8_t byte() { return empty() ? 0 : data_[position_++]; }

    template <typename T>
    T raw() {
        std::uint8_t bytes[sizeof(T)] = {};
        for (auto& b : bytes) b = byte();
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

    /// An integer biased toward the values that break code: small, signs, limits.
    std::int64_t edgeInteger() {
        const std::uint8_t choice = byte();
        switch (choice % 16) {
            case 0:
                return 0;
            case 1:
                return 1;
            case 2:
                return -1;
            case 3:
                return std::numeric_limits<std::int32_t>::max();
            case 4:
                return std::numeric_limits<std::int32_t>::min();
            case 5:
                return std::numeric_limits<std::int64_t>::max();
            case 6:
                return raw<std::int32_t>();
            case 7:
                return raw<std::int64_t>();
            default:
                return static_cast<std::int64_t>(choice / 16) - 2;  // -2..13
        }
    }

    /// A float biased the same way, not-a-number and infinities included.
    float edgeFloat() {
        const std::uint8_t choice = byte();
        switch (choice % 12) {
            case 0:
                return 0.0f;
            case 1:
                return 1.0f;
            case 2:
                return -1.0f;
            case 3:
                return std::numeric_limits<float>::quiet_NaN();
            case 4:
                return std::numeric_limits<float>::infinity();
            case 5:
                return -std::numeric_limits<float>::infinity();
            case 6:
                return std::numeric_limits<float>::denorm_min();
            case 7:
                return std::numeric_limits<float>::max();
            case 8:
                return static_cast<float>(byte()) / 128.0f;
            default:
                return raw<float>();
        }
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

/// A finding: the fuzzer records the input, the replay test fails.
[[noreturn]] inline void finding(const char* what) {
    std::fprintf(stderr, "fuzz finding: %s\n", what);
    std::abort();
}

inline void check(bool ok, const char* what) {
    if (!ok) finding(what);
}

/// The targets, callable from the libFuzzer entries and the replay test.
int runDispatcher(const std::uint8_t* data, std::size_t size);
int runBlock(const std::uint8_t* data, std::size_t size);
int runVst3State(const std::uint8_t* data, std::size_t size);

}  // namespace fuzzing
