#include "tests/support/skin_art.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace skinart {
namespace {

std::uint32_t le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
}

void putLe(std::vector<std::uint8_t>& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The sprite promise of the artwork: masks are a black disc on white, and
// pictures are black outside the disc, so OR-ing paints only the disc.
void shapeSprite(Image& image, int x0, int y0, int size, bool mask) {
    const float centre = (size - 1) / 2.0f;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool inside = (x - centre) * (x - centre) + (y - centre) * (y - centre) <= centre * centre;
            std::uint8_t* p = &image.rgb[(static_cast<std::size_t>(y0 + y) * image.width + x0 + x) * 3];
            if (mask) {
                p[0] = p[1] = p[2] = inside ? 0 : 255;
            } else if (!inside) {
                p[0] = p[1] = p[2] = 0;
            }
        }
    }
}

Image standIn(int id, int width, int height) {
    Image art = noise(width, height, static_cast<std::uint32_t>(id));
    if (id == 106) {
        shapeSprite(art, 360, 141, 20, true);
        for (int cell = 0; cell < 18; ++cell) {
            shapeSprite(art, 20 * cell, 141, 20, false);
            shapeSprite(art, 20 * cell, 161, 20, false);
        }
    } else if (id == 107) {
        shapeSprite(art, 0, 0, 48, true);
        for (int cell = 1; cell < 81; ++cell) shapeSprite(art, 48 * cell, 0, 48, false);
    }
    return art;
}

Skin load() {
    struct Entry {
        int id;
        const char* file;
        int width, height;
        Image Skin::*field;
    };
    const Entry entries[] = {
        {106, "panel.bmp", 500, 322, &Skin::panel},
        {107, "knob.bmp", 3888, 48, &Skin::knob},
        {108, "tube.bmp", 960, 53, &Skin::tube},
        {109, "circuit.bmp", 1860, 25, &Skin::circuit},
    };
    Skin skin;
    std::vector<std::vector<std::uint8_t>> files;
    bool all = true;
    for (const Entry& e : entries) {
        std::vector<std::uint8_t> bytes;
        all = all && readFile(std::string(VARNOX_RESOURCE_DIR) + "/" + e.file, bytes);
        files.push_back(std::move(bytes));
    }
    skin.fromResources = all;
    for (std::size_t i = 0; i < std::size(entries); ++i) {
        const Entry& e = entries[i];
        if (!all) {
            files[i] = writeBmp(standIn(e.id, e.width, e.height));
            softwin::setBitmapResource(e.id, files[i]);
        }
        if (!readBmp(files[i], skin.*e.field) || (skin.*e.field).width != e.width ||
            (skin.*e.field).height != e.height)
            throw std::runtime_error(std::string("unusable skin bitmap ") + e.file);
    }
    return skin;
}

}  // namespace

bool readBmp(const std::vector<std::uint8_t>& b, Image& out) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
    const std::uint32_t offset = le(b, 10, 4);
    const auto width = static_cast<std::int32_t>(le(b, 18, 4));
    const auto height = static_cast<std::int32_t>(le(b, 22, 4));
    if (le(b, 28, 2) != 24 || le(b, 30, 4) != 0 || width <= 0 || height == 0) return false;
    const int rows = std::abs(height);
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    if (offset + stride * rows > b.size()) return false;
    out = Image{width, rows, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * rows * 3)};
    for (int y = 0; y < rows; ++y) {
        const std::size_t src = offset + stride * static_cast<std::size_t>(height > 0 ? rows - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            const std::size_t d = (static_cast<std::size_t>(y) * width + x) * 3;
            out.rgb[d] = b[src + 3 * x + 2];
            out.rgb[d + 1] = b[src + 3 * x + 1];
            out.rgb[d + 2] = b[src + 3 * x];
        }
    }
    return true;
}

std::vector<std::uint8_t> writeBmp(const Image& image) {
    const std::size_t stride = (static_cast<std::size_t>(image.width) * 3 + 3) / 4 * 4;
    const auto dataSize = static_cast<std::uint32_t>(stride * image.height);
    std::vector<std::uint8_t> b{'B', 'M'};
    putLe(b, 54 + dataSize, 4);
    putLe(b, 0, 4);
    putLe(b, 54, 4);
    putLe(b, 40, 4);
    putLe(b, static_cast<std::uint32_t>(image.width), 4);
    putLe(b, static_cast<std::uint32_t>(image.height), 4);
    putLe(b, 1, 2);
    putLe(b, 24, 2);
    putLe(b, 0, 4);
    putLe(b, dataSize, 4);
    putLe(b, 2835, 4);
    putLe(b, 2835, 4);
    putLe(b, 0, 4);
    putLe(b, 0, 4);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const std::size_t s = (static_cast<std::size_t>(y) * image.width + x) * 3;
            b.push_back(image.rgb[s + 2]);
            b.push_back(image.rgb[s + 1]);
            b.push_back(image.rgb[s]);
        }
        for (std::size_t pad = static_cast<std::size_t>(image.width) * 3; pad < stride; ++pad) b.push_back(0);
    }
    return b;
}

Image noise(int width, int height, std::uint32_t seed) {
    Image image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : image.rgb) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<std::uint8_t>(state >> 11);
    }
    return image;
}

const Skin& skin() {
    static const Skin loaded = load();
    return loaded;
}

void blit(Image& target, int x, int y, int width, int height, const Image& source, int sourceX, int sourceY,
          Rop rop) {
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const int tx = x + column, ty = y + row, sx = sourceX + column, sy = sourceY + row;
            if (tx < 0 || ty < 0 || tx >= target.width || ty >= target.height) continue;
            if (sx < 0 || sy < 0 || sx >= source.width || sy >= source.height) continue;
            for (int c = 0; c < 3; ++c) {
                std::uint8_t& d = target.rgb[(static_cast<std::size_t>(ty) * target.width + tx) * 3 + c];
                const std::uint8_t s = source.rgb[(static_cast<std::size_t>(sy) * source.width + sx) * 3 + c];
                d = rop == Rop::kCopy ? s : rop == Rop::kAnd ? (d & s) : (d | s);
            }
        }
    }
}

Image crop(const Image& image, int x, int y, int width, int height) {
    Image out{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    blit(out, 0, 0, width, height, image, x, y);
    return out;
}

Frame::Frame() : pixels(crop(skin().panel, 0, 0, 500, 140)) {}

void Frame::knob(int x, int cell) {
    blit(pixels, x, 46, 48, 48, skin().knob, 0, 0, Rop::kAnd);
    blit(pixels, x, 46, 48, 48, skin().knob, 48 * cell, 0, Rop::kPaint);
}

void Frame::led(int x, int y, int row, int cell) {
    blit(pixels, x, y, 20, 20, skin().panel, 360, 141, Rop::kAnd);
    blit(pixels, x, y, 20, 20, skin().panel, 20 * cell, row, Rop::kPaint);
}

void Frame::socket(int x, int y) { blit(pixels, x, y, 20, 20, skin().panel, x, y); }

void Frame::tube(int cell) {
    if (cell < 0) {
        blit(pixels, 413, 8, 48, 53, skin().panel, 413, 8);
    } else {
        blit(pixels, 413, 8, 48, 53, skin().tube, 48 * cell, 0);
    }
}

void Frame::circuit(int cell) { blit(pixels, 165, 107, 124, 24, skin().circuit, 124 * cell, 0); }

void Frame::display() { blit(pixels, 369, 78, 58, 20, skin().panel, 369, 78); }

void Frame::glyph(bool decibels) { blit(pixels, 412, 84, 15, 13, skin().panel, decibels ? 375 : 360, 168); }

void Frame::minus() { blit(pixels, 370, 87, 5, 1, skin().panel, 360, 161); }

void Frame::point(int penX) { blit(pixels, penX, 95, 1, 2, skin().panel, 360, 161); }

void Frame::digit(int position, int value) {
    // Segments as drawn on the panel: bottom, lower right, upper right, top,
    // upper left, lower left, middle.
    static const char* const lit[10] = {"012345", "12", "02356", "01236", "1246",
                                        "01346", "013456", "123", "0123456", "012346"};
    const int x0 = 377 + 12 * position;
    const int rect[7][4] = {{x0 + 1, 95, 7, 1}, {x0 + 8, 88, 1, 7}, {x0 + 8, 80, 1, 7}, {x0 + 1, 79, 7, 1},
                            {x0, 80, 1, 7},     {x0, 88, 1, 7},     {x0 + 1, 87, 7, 1}};
    for (const char* s = lit[value]; *s; ++s) {
        const int* r = rect[*s - '0'];
        blit(pixels, r[0], r[1], r[2], r[3], skin().panel, 360, 161);
    }
}

Frame startFrame() {
    Frame f;
    f.knob(77, 41);
    f.knob(146, 41);
    f.knob(209, 41);
    f.knob(279, 6);
    f.led(44, 18, 161, 17);
    f.tube(-1);
    f.circuit(1);
    f.socket(347, 18);
    f.socket(48, 87);
    f.display();
    return f;
}

}  // namespace skinart
