#include "vst3/texts.h"


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

}  // namespace vst3face
