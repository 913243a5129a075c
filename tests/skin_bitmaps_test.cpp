// Checks the committed skin bitmaps against what the editor's blitting relies
// on: exact sizes and file format, hard-edged masks, picture cells that are
// black wherever their mask lets the panel through, and cells that brighten
// in order.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef VARNOX_RESOURCE_DIR
#error "VARNOX_RESOURCE_DIR must name the folder holding the skin bitmaps"
#endif

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;

struct Bitmap {
    int32_t width = 0;
    int32_t height = 0;  // as stored: positive means bottom-up
    uint32_t dataOffset = 0;
    uint32_t infoSize = 0;
    uint16_t planes = 0;
    uint16_t bitsPerPixel = 0;
    uint32_t compression = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB, top row first

    uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

uint32_t readLe(const std::vector<uint8_t>& bytes, std::size_t offset, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value |= uint32_t{bytes[offset + i]} << (8 * i);
    return value;
}

// Reads only what the skin uses: uncompressed 24-bit, either row order.
std::string readBmp(const std::string& name, Bitmap& bmp) {
    std::ifstream file(std::string(VARNOX_RESOURCE_DIR) + "/" + name, std::ios::binary);
    if (!file) return "cannot open " + name;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return "not a BMP file";
    if (readLe(bytes, 2, 4) != bytes.size()) return "file size field does not match the file";
    bmp.dataOffset = readLe(bytes, 10, 4);
    bmp.infoSize = readLe(bytes, 14, 4);
    bmp.width = static_cast<int32_t>(readLe(bytes, 18, 4));
    bmp.height = static_cast<int32_t>(readLe(bytes, 22, 4));
    bmp.planes = static_cast<uint16_t>(readLe(bytes, 26, 2));
    bmp.bitsPerPixel = static_cast<uint16_t>(readLe(bytes, 28, 2));
    bmp.compression = readLe(bytes, 30, 4);
    if (bmp.bitsPerPixel != 24 || bmp.compression != 0 || bmp.width <= 0 || bmp.height == 0)
        return "not an uncompressed 24-bit bitmap";

    const int rows = bmp.height < 0 ? -bmp.height : bmp.height;
    const std::size_t rowBytes = (static_cast<std::size_t>(bmp.width) * 3 + 3) & ~std::size_t{3};
    if (bmp.dataOffset + rowBytes * rows > bytes.size()) return "pixel data is truncated";
    bmp.pixels.resize(static_cast<std::size_t>(bmp.width) * rows);
    for (int y = 0; y < rows; ++y) {
        const int stored = bmp.height > 0 ? rows - 1 - y : y;
        const std::size_t row = bmp.dataOffset + rowBytes * stored;
        for (int x = 0; x < bmp.width; ++x)
            bmp.pixels[static_cast<std::size_t>(y) * bmp.width + x] =
                readLe(bytes, row + 3 * static_cast<std::size_t>(x), 3);
    }
    return {};
}

class SkinBitmaps : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (auto [name, bmp] : {std::pair{"panel.bmp", &panel}, std::pair{"knob.bmp", &knob},
                                 std::pair{"tube.bmp", &tube}, std::pair{"circuit.bmp", &circuit}}) {
            const std::string error = readBmp(name, *bmp);
            if (!error.empty()) errors += std::string(name) + ": " + error + "\n";
        }
    }
    void SetUp() override { ASSERT_EQ(errors, ""); }

    static inline Bitmap panel, knob, tube, circuit;
    static inline std::string errors;
};

double luminance(uint32_t p) {
    return 0.299 * (p >> 16 & 0xFF) + 0.587 * (p >> 8 & 0xFF) + 0.114 * (p & 0xFF);
}

double meanLuminance(const Bitmap& bmp, int left, int top, int width, int height) {
    double sum = 0;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) sum += luminance(bmp.at(x, y));
    return sum / (width * height);
}

// A mask must be pure black and white with black in the middle and white
// in the corners; otherwise the AND pass leaves tinted fringes.
void expectDiscMask(const Bitmap& bmp, int left, int top, int size, const char* what) {
    int impure = 0;
    for (int y = top; y < top + size; ++y)
        for (int x = left; x < left + size; ++x)
            if (bmp.at(x, y) != kBlack && bmp.at(x, y) != kWhite) ++impure;
    EXPECT_EQ(impure, 0) << what << " has grey pixels";
    EXPECT_EQ(bmp.at(left + size / 2, top + size / 2), kBlack) << what;
    for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
        EXPECT_EQ(bmp.at(left + x, top + y), kWhite) << what << " corner " << x << "," << y;
}

// Outside the disc the OR pass must add nothing, or halos build up frame by
// frame; inside, the cell must actually show something.
void expectCellFitsMask(const Bitmap& bmp, int left, int top, const Bitmap& maskBmp, int maskLeft,
                        int maskTop, int size, const std::string& what) {
    int leaks = 0;
    int shown = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const uint32_t picture = bmp.at(left + x, top + y);
            if (maskBmp.at(maskLeft + x, maskTop + y) == kWhite)
                leaks += picture != kBlack;
            else
                shown += picture != kBlack;
        }
    EXPECT_EQ(leaks, 0) << what << " is not black outside its mask";
    EXPECT_GT(shown, 0) << what << " is empty";
}

TEST_F(SkinBitmaps, HaveTheSizesAndFormatTheEditorLoads) {
    const struct {
        const char* name;
        const Bitmap& bmp;
        int width;
        int height;
    } cases[] = {{"panel", panel, 500, 322}, {"knob", knob, 3888, 48},
                 {"tube", tube, 960, 53},    {"circuit", circuit, 1860, 25}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.bmp.width, c.width);
        EXPECT_EQ(c.bmp.height, c.height);  // positive: stored bottom-up
        EXPECT_EQ(c.bmp.infoSize, 40u);
        EXPECT_EQ(c.bmp.dataOffset, 54u);
        EXPECT_EQ(c.bmp.planes, 1);
    }
}

TEST_F(SkinBitmaps, KnobCellsAreBlackOutsideTheKnobMask) {
    expectDiscMask(knob, 0, 0, 48, "knob mask");
    for (int cell = 1; cell <= 80; ++cell)
        expectCellFitsMask(knob, 48 * cell, 0, knob, 0, 0, 48, "knob cell " + std::to_string(cell));
}

TEST_F(SkinBitmaps, LedCellsAreBlackOutsideTheLedMask) {
    expectDiscMask(panel, 360, 141, 20, "LED mask");
    for (int row : {141, 161})
        for (int cell = 0; cell < 18; ++cell)
            expectCellFitsMask(panel, 20 * cell, row, panel, 360, 141, 20,
                               "LED row " + std::to_string(row) + " cell " + std::to_string(cell));
}

// Angle of the pointer in a knob cell, clockwise from straight down, taken
// from the bright pixels on the cap (the pointer is the only light detail).
double pointerAngle(const Bitmap& knob, int cell) {
    double sx = 0;
    double sy = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            const double dx = x + 0.5 - 24;
            const double dy = y + 0.5 - 24;
            const double r = std::sqrt(dx * dx + dy * dy);
            if (r < 6 || r > 14 || luminance(knob.at(48 * cell + x, y)) < 190) continue;
            sx += dx;
            sy += dy;
        }
    // Down is (0, 1); clockwise on screen turns it towards (-1, 0).
    const double degrees = std::atan2(-sx, sy) * 180.0 / 3.14159265358979;
    return degrees < 0 ? degrees + 360 : degrees;
}

TEST_F(SkinBitmaps, KnobPointerTurnsClockwiseFromStraightDown) {
    // Cell 1 points down, cell 41 up, each cell 4.5 degrees further.
    for (int cell = 1; cell <= 80; ++cell) {
        const double expected = (cell - 1) * 4.5;
        double error = std::fabs(pointerAngle(knob, cell) - expected);
        error = std::min(error, 360 - error);
        EXPECT_LT(error, 2.0) << "knob cell " << cell << " points at " << pointerAngle(knob, cell);
    }
}

TEST_F(SkinBitmaps, ReadoutSourcesMatchTheDisplay) {
    for (int y = 161; y < 168; ++y)
        for (int x = 360; x < 367; ++x) ASSERT_EQ(panel.at(x, y), 0x9E9E9Cu) << x << "," << y;

    // Unit glyphs are copied straight onto the display at (412, 84): apart
    // from the lettering they must be the display's own background.
    for (int glyphLeft : {360, 375}) {
        int background = 0;
        int mismatched = 0;
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 15; ++x) {
                const uint32_t p = panel.at(glyphLeft + x, 168 + y);
                if (p == 0x9E9E9Cu) continue;
                ++background;
                mismatched += p != panel.at(412 + x, 84 + y);
            }
        EXPECT_EQ(mismatched, 0) << "glyph at x " << glyphLeft;
        EXPECT_LT(background, 15 * 13) << "glyph at x " << glyphLeft << " has no lettering";
    }
    // The display is dark so that the light segments read.
    EXPECT_LT(meanLuminance(panel, 369, 78, 58, 20), 40.0);
}

TEST_F(SkinBitmaps, TubeCellsBlendIntoThePanelAndGlowMoreEachCell) {
    // Each cell replaces (413, 8, 48, 53) with a plain copy: its border must
    // continue the panel around it.
    for (int cell = 0; cell < 20; ++cell) {
        int seams = 0;
        for (int y = 0; y < 53; ++y)
            for (int x = 0; x < 48; ++x)
                if ((x == 0 || x == 47 || y == 0 || y == 52) &&
                    tube.at(48 * cell + x, y) != panel.at(413 + x, 8 + y))
                    ++seams;
        EXPECT_EQ(seams, 0) << "tube cell " << cell;
    }
    double previous = meanLuminance(panel, 413, 8, 48, 53);
    for (int cell = 0; cell < 20; ++cell) {
        const double now = meanLuminance(tube, 48 * cell, 0, 48, 53);
        EXPECT_GT(now, previous) << "tube cell " << cell;
        previous = now;
    }
}

TEST_F(SkinBitmaps, LedAndCircuitCellsBrightenInOrder) {
    for (int row : {141, 161}) {
        double previous = 0;
        for (int cell = 0; cell < 18; ++cell) {
            const double now = meanLuminance(panel, 20 * cell + 4, row + 4, 12, 12);
            EXPECT_GT(now, previous) << "LED row " << row << " cell " << cell;
            previous = now;
        }
    }
    // The level LED swaps rows at full scale: the top row must read red, the
    // lower one green.
    const uint32_t red = panel.at(20 * 17 + 11, 141 + 11);
    const uint32_t green = panel.at(20 * 17 + 11, 161 + 11);
    EXPECT_GT(red >> 16 & 0xFF, (red >> 8 & 0xFF) + 60);
    EXPECT_GT(green >> 8 & 0xFF, (green >> 16 & 0xFF) + 60);
    double previous = 0;
    for (int cell = 1; cell <= 14; ++cell) {
        const double now = meanLuminance(circuit, 124 * cell, 0, 124, 24);
        EXPECT_GT(now, previous) << "circuit cell " << cell;
        previous = now;
    }
}

}  // namespace
