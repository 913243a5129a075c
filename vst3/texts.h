// Text helpers of the VST 3 face: the effect's 8-bit texts as the UTF-16 the
// interface carries, and back.
#pragma once

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

}  // namespace vst3face
