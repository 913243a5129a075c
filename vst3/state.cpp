#include "vst3/state.h"

namespace vst3face {

bool writeState(vst3::IBStream& stream, const SavedState& state) {
    std::vector<uint8_t> bytes = encodeState(state);
    vst3::int32 written = 0;
    const vst3::tresult result = stream.write(bytes.data(), static_cast<vst3::int32>(bytes.size()), &written);
    return result == vst3::kResultOk && written == static_cast<vst3::int32>(bytes.size());
}

std::optional<SavedState> readState(vst3::IBStream& stream) {
    // One byte more than the largest record: a stream that still has it holds something else.
    uint8_t bytes[kStateMaxSize + 1];
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
