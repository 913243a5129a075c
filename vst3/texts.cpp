#include "vst3/texts.h"

#include <cctype>
#include <charconv>

namespace vst3face {

void toString16(const std::string& text, vst3::char16* out, std::size_t capacity) {
    if (!out || capacity == 0) return;
    std::size_t i = 0;
    for (; i + 1 < capacity && i < text.size(); ++i) out[i] = static_cast<unsigned char>(text[i]);
    out[i] = 0;
}

void toString128(const std::string& text, vst3::String128 out) { toString16(text, out, 128); }

std::optional<std::string> fromString128(const vst3::TChar* text) {
    if (!text) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < 128; ++i) {
        if (text[i] == 0) return out;
        if (text[i] > 0x7F) return std::nullopt;
        out += static_cast<char>(text[i]);
    }
    return std::nullopt;
}

std::string trimmed(const std::string& text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    std::size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::optional<double> leadingNumber(const std::string& text, std::string& rest) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    // from_chars takes no plus sign; a typed "+6" means 6.
    if (begin != end && *begin == '+') ++begin;
    double value = 0.0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc()) return std::nullopt;
    rest.assign(stop, end);
    return value;
}

}  // namespace vst3face
