// A factory program as a VST 3 preset file (.vstpreset), the layout every
// VST 3 host reads: a header ('VST3', version 1, the class id as 32 ASCII hex
// digits, where the chunk list starts), the chunks' data, then the chunk list
// ('List', the count, and per chunk its id, offset and size; 64-bit offsets
// and sizes, all little-endian). Two chunks: 'Comp', the component state as
// getState writes it, and 'Info', the meta information with the preset's
// name. The state comes from the program table through the state writer, so a
// preset holds exactly what selecting its program holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vst3/state.h"

namespace vst3face {

/// What the effect holds right after its program `program` is selected: the
/// program's values, the program, bypass off.
SavedState factoryState(int32_t program);

/// The meta information of the program's preset (UTF-8 XML).
std::string presetMetaInfo(int32_t program);

/// The program's whole preset file.
std::vector<uint8_t> encodePresetFile(int32_t program);

/// The file's name: the name the program list shows, with the characters file
/// systems refuse replaced by '_', and ".vstpreset".
std::string presetFileName(int32_t program);

/// A folder name as hosts look it up: the vendor or the plug-in's name, the
/// same characters replaced.
std::string presetFolderName(const std::string& name);

}  // namespace vst3face
