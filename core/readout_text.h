// The editor's value readout text. The effect writes it from whichever thread
// sets a parameter while the editor's timer reads it, so each character is a
// relaxed atomic: a frame may show a half-written text, never undefined data.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "util/relaxed.h"

class ReadoutText {
public:
    static constexpr std::size_t kCapacity = 1000;

    void clear() { chars_[0] = '\0'; }
    /// Copies at most kCapacity characters and terminates.
    void assign(const char* text) {
        std::size_t i = 0;
        for (; i < kCapacity && text[i] != '\0'; ++i) chars_[i] = text[i];
        chars_[i] = '\0';
    }
    bool empty() const { return chars_[0] == '\0'; }
    char operator[](std::size_t i) const { return i <= kCapacity ? chars_[i].load() : '\0'; }
    std::string str() const {
        std::string s;
        for (std::size_t i = 0; i < kCapacity && chars_[i] != '\0'; ++i) s += chars_[i];
        return s;
    }
    /// Guards the character after the storage, so a scan always ends.
    void terminateStorage() { chars_[kCapacity] = '\0'; }

private:
    std::array<Relaxed<char>, kCapacity + 1> chars_{};
};
