#include "platform/x11_pixels.h"

#include <cstring>

namespace x11pixels {

namespace {

constexpr std::size_t kPutImageHeaderBytes = 24;

int lowestBit(std::uint32_t mask) {
    int shift = 0;
    while (shift < 32 && !(mask & (std::uint32_t{1} << shift))) ++shift;
    return shift;
}

int bitCount(std::uint32_t mask) {
    int count = 0;
    for (; mask; mask &= mask - 1) ++count;
    return count;
}

bool contiguous(std::uint32_t mask) {
    if (mask == 0) return false;
    const std::uint32_t shifted = mask >> lowestBit(mask);
    return (shifted & (shifted + 1)) == 0;
}

std::uint32_t depthMask(int depth) {
    return depth >= 32 ? 0xffffffffu : (std::uint32_t{1} << depth) - 1;
}

// An 8-bit channel widened or narrowed to the mask's width: truncated below
// 8 bits (as servers quantise), bit-replicated above, so 255 is always full.
std::array<std::uint32_t, 256> channelTable(std::uint32_t mask) {
    const int shift = lowestBit(mask);
    const int bits = bitCount(mask);
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t c = 0; c < 256; ++c) {
        std::uint32_t v;
        if (bits <= 8) {
            v = c >> (8 - bits);
        } else {
            v = c << (bits - 8);
            for (int filled = 8; filled < bits; filled += 8) v |= (c << (bits - 8)) >> filled;
        }
        table[c] = (v << shift) & mask;
    }
    return table;
}

// One row, with the pixel size and byte order fixed at compile time so that
// each pixel is a table lookup and one store the compiler can merge.
template <int kBytes, bool kMsbFirst>
std::uint8_t* convertRow(const std::uint8_t* in, int width, const std::uint32_t* red, const std::uint32_t* green,
                         const std::uint32_t* blue, std::uint32_t fill, std::uint8_t* out) {
    for (int x = 0; x < width; ++x, in += 3, out += kBytes) {
        const std::uint32_t pixel = red[in[0]] | green[in[1]] | blue[in[2]] | fill;
        for (int b = 0; b < kBytes; ++b) {
            out[b] = static_cast<std::uint8_t>(pixel >> (kMsbFirst ? 8 * (kBytes - 1 - b) : 8 * b));
        }
    }
    return out;
}

}  // namespace

bool supported(const Format& f) {
    if (f.bitsPerPixel != 16 && f.bitsPerPixel != 24 && f.bitsPerPixel != 32) return false;
    if (f.depth < 1 || f.depth > f.bitsPerPixel) return false;
    if (f.scanlinePad < 8 || f.scanlinePad % 8 != 0 || f.scanlinePad > 256) return false;
    const std::uint32_t masks[3] = {f.redMask, f.greenMask, f.blueMask};
    for (const std::uint32_t mask : masks) {
        if (!contiguous(mask) || bitCount(mask) > 16 || (mask & ~depthMask(f.depth)) != 0) return false;
    }
    return (f.redMask & f.greenMask) == 0 && (f.redMask & f.blueMask) == 0 && (f.greenMask & f.blueMask) == 0;
}

std::size_t rowBytes(const Format& f, int width) {
    if (width <= 0) return 0;
    const std::size_t bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(f.bitsPerPixel);
    const std::size_t pad = static_cast<std::size_t>(f.scanlinePad);
    return (bits + pad - 1) / pad * pad / 8;
}

int rowsPerRequest(std::size_t maxRequestBytes, std::size_t bytesPerRow, int height) {
    if (height <= 0 || bytesPerRow == 0 || maxRequestBytes <= kPutImageHeaderBytes) return 0;
    const std::size_t rows = (maxRequestBytes - kPutImageHeaderBytes) / bytesPerRow;
    return rows < static_cast<std::size_t>(height) ? static_cast<int>(rows) : height;
}

Converter::Converter(const Format& format)
    : format_(format),
      red_(channelTable(format.redMask)),
      green_(channelTable(format.greenMask)),
      blue_(channelTable(format.blueMask)),
      fill_(depthMask(format.depth) & ~(format.redMask | format.greenMask | format.blueMask)) {}

void Converter::convert(const std::uint8_t* rgb, int width, int rows, std::uint8_t* out) const {
    using RowFunction = std::uint8_t* (*)(const std::uint8_t*, int, const std::uint32_t*, const std::uint32_t*,
                                          const std::uint32_t*, std::uint32_t, std::uint8_t*);
    RowFunction row = nullptr;
    switch (format_.bitsPerPixel) {
    case 16: row = format_.msbFirst ? convertRow<2, true> : convertRow<2, false>; break;
    case 24: row = format_.msbFirst ? convertRow<3, true> : convertRow<3, false>; break;
    default: row = format_.msbFirst ? convertRow<4, true> : convertRow<4, false>; break;
    }
    const std::size_t stride = rowBytes(format_, width);
    for (int y = 0; y < rows; ++y) {
        std::uint8_t* start = out + static_cast<std::size_t>(y) * stride;
        std::uint8_t* end = row(rgb + static_cast<std::size_t>(y) * width * 3, width, red_.data(), green_.data(),
                                blue_.data(), fill_, start);
        // Padding bytes carry nothing, but are sent: keep them defined.
        std::memset(end, 0, stride - static_cast<std::size_t>(end - start));
    }
}

}  // namespace x11pixels
