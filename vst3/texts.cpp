#include "vst3/texts.h"

#include <cctype>

#include "core/programs.h"

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

namespace {

// Each run of blanks as one, none at either end.
std::string singleBlanks(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool blank = std::isspace(static_cast<unsigned char>(c)) != 0;
        if (blank && (out.empty() || out.back() == ' ')) continue;
        out += blank ? ' ' : c;
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

bool sameLetters(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

// Three factory names hold runs of blanks ("Duck  Compressed", "Raw   Power"),
// which the VST 2 face must keep: hosts and stored projects have its names.
// VST 3 hosts show names in their own proportional fonts, in program lists,
// preset browsers and the file names of presets, where a double blank reads
// as a typing error and defeats a search for the name as anyone would type
// it. Nothing a VST 3 host stores holds the name (a project keeps the
// program parameter's value), so this face lists them with single blanks and
// still takes either form typed.
std::string programListName(int32_t program) {
    return isProgram(program) ? singleBlanks(kFactoryPrograms[program].name) : std::string();
}

std::optional<int32_t> programOfName(const std::string& typed) {
    const std::string wanted = singleBlanks(typed);
    for (int32_t p = 0; p < kProgramCount; ++p) {
        if (sameLetters(wanted, programListName(p))) return p;
    }
    return std::nullopt;
}

}  // namespace vst3face
