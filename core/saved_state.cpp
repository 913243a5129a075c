#include "core/saved_state.h"

#include <cmath>
#include <cstring>

#include "core/effect_core.h"

namespace {

void putWord(std::vector<uint8_t>& bytes, uint32_t word) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
}

uint32_t wordAt(const uint8_t* at) {
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i) word |= static_cast<uint32_t>(at[i]) << (8 * i);
    return word;
}

uint32_t floatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float bitsFloat(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The face's place of a parameter id; -1 for none.
int32_t placeOf(uint32_t id) {
    for (int32_t i = 0; i < kListedCount; ++i) {
        if (listedParameter(i).id == id) return i;
    }
    return -1;
}

// Version 1: six normalised values, the program and bypass.
constexpr std::size_t kVersion1Size = 40;

std::optional<SavedState> decodeVersion1(const uint8_t* bytes) {
    SavedState state;
    for (int32_t i = 0; i < kParamCount; ++i) {
        const float value = bitsFloat(wordAt(bytes + 8 + 4 * i));
        if (!(value >= 0.0f && value <= 1.0f)) return std::nullopt;  // NaN included
        state[kParameters[i].id] = EffectCore::stepFor(i, value);
    }
    const auto program = static_cast<int32_t>(wordAt(bytes + 32));
    const uint32_t bypass = wordAt(bytes + 36);
    if (!isProgram(program) || bypass > 1) return std::nullopt;
    state[kProgramId] = static_cast<float>(program);
    state[kBypassId] = static_cast<float>(bypass);
    return state;
}

std::optional<SavedState> decodeVersion2(const uint8_t* bytes, std::size_t size) {
    const uint32_t count = wordAt(bytes + 8);
    if (count > kStateMaxEntries || size != 12 + 8 * static_cast<std::size_t>(count)) return std::nullopt;
    SavedState state;
    std::array<bool, kListedCount> seen{};
    for (uint32_t e = 0; e < count; ++e) {
        const uint8_t* entry = bytes + 12 + 8 * e;
        const int32_t place = placeOf(wordAt(entry));
        if (place < 0 || seen[place]) return std::nullopt;
        seen[place] = true;
        const float raw = bitsFloat(wordAt(entry + 4));
        const auto steps = static_cast<float>(listedParameter(place).steps);
        if (!(raw >= 0.0f && raw <= steps) || std::trunc(raw) != raw) return std::nullopt;
        state.raw[place] = raw;
    }
    return state;
}

}  // namespace

float& SavedState::operator[](uint32_t id) { return raw[placeOf(id)]; }
float SavedState::operator[](uint32_t id) const { return raw[placeOf(id)]; }

std::vector<uint8_t> encodeState(const SavedState& state) {
    std::vector<uint8_t> bytes(kStateMagic.begin(), kStateMagic.end());
    putWord(bytes, kStateVersion);
    putWord(bytes, kListedCount);
    for (int32_t i = 0; i < kListedCount; ++i) {
        putWord(bytes, listedParameter(i).id);
        putWord(bytes, floatBits(state.raw[i]));
    }
    return bytes;
}

std::optional<SavedState> decodeState(const uint8_t* bytes, std::size_t size) {
    if (!bytes || size < 12) return std::nullopt;
    if (std::memcmp(bytes, kStateMagic.data(), kStateMagic.size()) != 0) return std::nullopt;
    switch (wordAt(bytes + 4)) {
        case 1:
            return size == kVersion1Size ? decodeVersion1(bytes) : std::nullopt;
        case kStateVersion:
            return decodeVersion2(bytes, size);
        default:
            return std::nullopt;
    }
}
