// Text helpers of the VST 3 face: the effect's 8-bit texts as the UTF-16 the
// interface carries, and back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/vst3/audio.h"

namespace vst3face {

/// Copies `text` into a 128-character UTF-16 field, terminated (each byte one
/// character: the effect's texts are ASCII).
void toString128(const std::string& text, vst3::String128 out);
void toString16(const std::string& text, vst3::char16* out, std::size_t capacity);
/// A host's UTF-16 text as ASCII; nothing when it holds anything else or has no end.
std::optional<std::string> fromString128(const vst3::TChar* text);

/// A factory program's name as VST 3 hosts list it: each run of blanks inside
/// it as one blank ("Duck Compressed"). The VST 2 face keeps the names as
/// they are; see texts.cpp for why this face does not.
std::string programListName(int32_t program);
/// The program a typed name picks, its blanks as the list shows them or as
/// the VST 2 face does, any case; nothing for no program's name.
std::optional<int32_t> programOfName(const std::string& typed);

}  // namespace vst3face
