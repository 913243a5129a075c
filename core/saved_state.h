// The state a host stores for the effect: every parameter a face lists (the
// effect's own, bypass and the program) as the raw step it holds. The VST 3
// and CLAP faces store this one record: a little-endian record with a magic and a version, each value tagged with its
// parameter's id, so that a later parameter needs no new layout and an older
// record gives it its default. Records of version 1 (the six values
// normalised, the program, bypass: 40 bytes) are still read. Anything else is
// refused before it touches the effect.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/parameters.h"

struct SavedState {
    /// Raw steps in the listed order (listedParameter); table defaults.
    std::array<float, kListedCount> raw = [] {
        std::array<float, kListedCount> defaults{};
        for (int32_t i = 0; i < kListedCount; ++i) defaults[i] = listedParameter(i).defaultRaw;
        return defaults;
    }();

    float& operator[](uint32_t id);
    float operator[](uint32_t id) const;
};

constexpr std::array<char, 4> kStateMagic = {'V', 'X', 'v', '3'};
constexpr uint32_t kStateVersion = 2;
/// The largest record read: more entries than any version will have.
constexpr std::size_t kStateMaxEntries = 64;
constexpr std::size_t kStateMaxSize = 12 + 8 * kStateMaxEntries;

/// magic, version 2, the entry count, then (id, raw step) per parameter.
std::vector<uint8_t> encodeState(const SavedState& state);
/// The state in `bytes`, or nothing when they are not exactly one valid
/// record: wrong size, magic or version; an unknown or repeated id; a value
/// that is no step of its parameter (version 1: a value outside 0..1, no such
/// program, a bypass other than 0 or 1).
std::optional<SavedState> decodeState(const uint8_t* bytes, std::size_t size);
