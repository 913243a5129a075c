// The state a VST 3 host stores for the effect: the six parameter values of
// the current program, the program number and bypass. A fixed little-endian
// record with a magic and a version, so that a later layout is told apart and
// anything else is refused before it touches the effect.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/vst3/base.h"
#include "vst3/parameters.h"

namespace vst3face {

struct SavedState {
    std::array<float, kEffectParameterCount> values{};  // normalised, as the effect reads them back
    int32_t program = 0;
    bool bypass = false;
};

constexpr std::array<char, 4> kStateMagic = {'V', 'X', 'v', '3'};
constexpr uint32_t kStateVersion = 1;
/// magic, version, six values, program, bypass: 4 bytes each.
constexpr std::size_t kStateSize = 4 + 4 + kEffectParameterCount * 4 + 4 + 4;
static_assert(kStateSize == 40, "a stored project's record");

std::array<uint8_t, kStateSize> encodeState(const SavedState& state);
/// The state in `bytes`, or nothing when they are not exactly one valid record
/// (wrong size, magic or version, a value outside 0..1, no such program, a
/// bypass other than 0 or 1).
std::optional<SavedState> decodeState(const uint8_t* bytes, std::size_t size);

/// Writes the record to a host stream; false when the stream took less.
bool writeState(vst3::IBStream& stream, const SavedState& state);
/// Reads one record from the stream's position on, and makes sure nothing follows it.
std::optional<SavedState> readState(vst3::IBStream& stream);

}  // namespace vst3face
