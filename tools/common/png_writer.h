// Writing 24-bit pictures as PNG files, for the tools that show the editor.
#pragma once

#include <cstdint>
#include <string>

namespace pngout {

/// Writes `width` x `height` pixels of red, green, blue bytes, rows top-down.
/// On failure nothing is left at `path` and `error` says why.
bool writeRgb(const std::string& path, int width, int height, const std::uint8_t* rgb, std::string& error);

}  // namespace pngout
