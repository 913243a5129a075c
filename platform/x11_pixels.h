// Frames into X11 images: rows of red, green, blue bytes converted to the
// ZPixmap layout of a TrueColor visual, and the split of a picture into
// PutImage requests that fit the connection's limit. Plain arithmetic with no
// X11 headers, so it is tested without a display.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace x11pixels {

/// What the server says about a visual and its pixmap format.
struct Format {
    int depth = 24;         // bits of a pixel that mean something
    int bitsPerPixel = 32;  // 16, 24 or 32
    int scanlinePad = 32;   // rows start on multiples of this many bits
    bool msbFirst = false;  // the server's image byte order
    std::uint32_t redMask = 0xff0000;
    std::uint32_t greenMask = 0x00ff00;
    std::uint32_t blueMask = 0x0000ff;
};

/// True for formats convert() can fill: 16, 24 or 32 bits per pixel, three
/// disjoint contiguous colour masks of at most 16 bits inside the depth, and
/// a scanline pad of whole bytes.
bool supported(const Format& format);

/// Bytes per image row of `width` pixels, padding included.
std::size_t rowBytes(const Format& format, int width);

/// The request size of a PutImage is capped by the server: rows per request
/// so that the 24-byte header and the rows fit in `maxRequestBytes`; 0 when
/// not even one row fits.
int rowsPerRequest(std::size_t maxRequestBytes, std::size_t bytesPerRow, int height);

class Converter {
public:
    /// `format` must be supported().
    explicit Converter(const Format& format);

    /// Converts `rows` rows of `width` pixels (3 bytes each, red first) into
    /// `out`, rowBytes() per row. Bits of the depth outside the colour masks
    /// (the alpha of a 32-bit visual) are set, so the picture is opaque.
    void convert(const std::uint8_t* rgb, int width, int rows, std::uint8_t* out) const;

private:
    Format format_;
    std::array<std::uint32_t, 256> red_{};
    std::array<std::uint32_t, 256> green_{};
    std::array<std::uint32_t, 256> blue_{};
    std::uint32_t fill_ = 0;
};

}  // namespace x11pixels
