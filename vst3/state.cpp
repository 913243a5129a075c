#include "vst3/state.h"

#include <cmath>
#include <cstring>

namespace vst3face {

namespace {

void putWord(uint8_t* at, uint32_t word) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(word >> (8 * i));
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

constexpr std::size_t kValuesAt = 8;
constexpr std::size_t kProgramAt = kValuesAt + kEffectParameterCount * 4;
constexpr std::size_t kBypassAt = kProgramAt + 4;

}  // namespace

std::array<uint8_t, kStateSize> encodeState(const SavedState& state) {
    std::array<uint8_t, kStateSize> bytes{};
    std::memcpy(bytes.data(), kStateMagic.data(), kStateMagic.size());
    putWord(&bytes[4], kStateVersion);
    for (std::size_t i = 0; i < state.values.size(); ++i) putWord(&bytes[kValuesAt + 4 * i], floatBits(state.values[i]));
    putWord(&bytes[kProgramAt], static_cast<uint32_t>(state.program));
    putWord(&bytes[kBypassAt], state.bypass ? 1u : 0u);
    return bytes;
}

std::optional<SavedState> decodeState(const uint8_t* bytes, std::size_t size) {
    if (!bytes || size != kStateSize) return std::nullopt;
    if (std::memcmp(bytes, kStateMagic.data(), kStateMagic.size()) != 0) return std::nullopt;
    if (wordAt(bytes + 4) != kStateVersion) return std::nullopt;
    SavedState state;
    for (std::size_t i = 0; i < state.values.size(); ++i) {
        const float value = bitsFloat(wordAt(bytes + kValuesAt + 4 * i));
        if (!(value >= 0.0f && value <= 1.0f)) return std::nullopt;  // NaN included
        state.values[i] = value;
    }
    const auto program = static_cast<int32_t>(wordAt(bytes + kProgramAt));
    if (program < 0 || program >= kFactoryProgramCount) return std::nullopt;
    state.program = program;
    const uint32_t bypass = wordAt(bytes + kBypassAt);
    if (bypass > 1) return std::nullopt;
    state.bypass = bypass == 1;
    return state;
}

bool writeState(vst3::IBStream& stream, const SavedState& state) {
    std::array<uint8_t, kStateSize> bytes = encodeState(state);
    vst3::int32 written = 0;
    const vst3::tresult result = stream.write(bytes.data(), static_cast<vst3::int32>(bytes.size()), &written);
    return result == vst3::kResultOk && written == static_cast<vst3::int32>(bytes.size());
}

std::optional<SavedState> readState(vst3::IBStream& stream) {
    // One byte more than a record: a stream that still has it holds something else.
    uint8_t bytes[kStateSize + 1];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        vst3::int32 read = 0;
        const auto wanted = static_cast<vst3::int32>(sizeof bytes - got);
        if (stream.read(bytes + got, wanted, &read) != vst3::kResultOk || read <= 0 || read > wanted) break;
        got += static_cast<std::size_t>(read);
    }
    return decodeState(bytes, got);
}

}  // namespace vst3face
