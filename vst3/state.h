// The state a VST 3 host stores for the effect: the one saved-state record of
// the faces (core/saved_state.h), read from and written to the host's stream.
#pragma once

#include <optional>

#include "core/saved_state.h"
#include "platform/vst3/base.h"

namespace vst3face {

using ::decodeState;
using ::encodeState;
using ::kStateMagic;
using ::kStateMaxEntries;
using ::kStateMaxSize;
using ::kStateVersion;
using ::SavedState;

/// Writes the record to a host stream; false when the stream took less.
bool writeState(vst3::IBStream& stream, const SavedState& state);
/// Reads one record from the stream's position on, and makes sure nothing follows it.
std::optional<SavedState> readState(vst3::IBStream& stream);

}  // namespace vst3face
