// Skin artwork for editor tests, and a plain model of the frame the editor
// should show. The artwork is the library's own bitmaps when they are in
// resources/, else generated stand-ins of the same geometry (installed into
// the window layer in place of the built-in ones). Either way the test reads
// the BMP bytes with its own reader, independent of the layer's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/soft_win32_driver.h"

namespace skinart {

using softwin::Image;

/// The test's own BMP reader: 24-bit, uncompressed, bottom-up or top-down.
bool readBmp(const std::vector<std::uint8_t>& bytes, Image& out);
/// Writes a 24-bit bottom-up BMP with padded rows.
std::vector<std::uint8_t> writeBmp(const Image& image);
/// A picture of hashed noise, different for each seed; any misplaced copy shows.
Image noise(int width, int height, std::uint32_t seed);

struct Skin {
    Image panel;    // 106, 500 x 322
    Image knob;     // 107, 3888 x 48
    Image tube;     // 108, 960 x 53
    Image circuit;  // 109, 1860 x 25
    bool fromResources = false;
};

/// Loads (or generates and installs) the four bitmaps. Call before an editor opens.
const Skin& skin();

enum class Rop { kCopy, kAnd, kPaint };
/// GDI's BitBlt reduced to what the editor uses, clipped to both pictures.
void blit(Image& target, int x, int y, int width, int height, const Image& source, int sourceX, int sourceY,
          Rop rop = Rop::kCopy);
/// Copies (x, y, w, h) of `image`.
Image crop(const Image& image, int x, int y, int width, int height);

/// Frame-building steps named after what the panel shows, from hand-picked cells.
struct Frame {
    Image pixels;

    Frame();  // the bare panel background
    void knob(int x, int cell);                  // knob picture cell at (x, 46)
    void led(int x, int y, int row, int cell);   // LED sprite, row 141 red / 161 green
    void socket(int x, int y);                   // the panel under a 20 x 20 LED
    void tube(int cell);                         // -1: the empty tube socket
    void circuit(int cell);
    void display();                              // the empty readout window
    void glyph(bool decibels);
    void minus();
    void point(int penX);
    void digit(int position, int value);
};

/// The frame of a freshly opened editor with the effect's start values:
/// knobs 41, 41, 41, 6, green level cell 17, unlit tube, circuit cell 1,
/// dark x2 and Boost LEDs, empty readout.
Frame startFrame();

}  // namespace skinart
