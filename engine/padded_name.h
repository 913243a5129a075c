// VST 2 hosts get every parameter and program name in a field of 19
// characters, blanks after the name, as the effect has always shown them.
#pragma once

#include <cstddef>
#include <cstring>

constexpr std::size_t kPaddedNameLength = 19;

/// `name` cut or padded with blanks to 19 characters, terminated: `text`
/// holds 20 bytes.
inline void padName(const char* name, char* text) {
    const std::size_t length = strnlen(name, kPaddedNameLength);
    std::memcpy(text, name, length);
    std::memset(text + length, ' ', kPaddedNameLength - length);
    text[kPaddedNameLength] = '\0';
}
