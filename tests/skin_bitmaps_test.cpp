// Checks the committed skin bitmaps, at each scale they are drawn at, against
// what the editor's blitting relies on: exact sizes and file format,
// hard-edged masks, picture cells that are black wherever their mask lets the
// panel through, cells that brighten in order, sprites that sit on their
// seats alike at every position, and larger sets that are the 1x design.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "editor/panel_layout.h"

#ifndef VARNOX_RESOURCE_DIR
#error "VARNOX_RESOURCE_DIR must name the folder holding the skin bitmaps"
#endif

namespace {

using panel::Rect;

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kSegment = 0x9E9E9C;

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

struct Skin {
    Bitmap panel, knob, tube, circuit;
};

const char* suffix(int halves) { return halves == 3 ? "@1.5x" : halves == 4 ? "@2x" : ""; }

// One instance per drawn scale; every set is loaded once for all of them,
// since the larger sets are also checked against the 1x one.
class SkinBitmaps : public ::testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite() {
        for (int i = 0; i < 3; ++i) {
            const int halves = panel::kScaleHalves[i];
            Skin& s = skins[i];
            for (auto [name, bmp] : {std::pair{"panel", &s.panel}, std::pair{"knob", &s.knob},
                                     std::pair{"tube", &s.tube}, std::pair{"circuit", &s.circuit}}) {
                const std::string file = std::string(name) + suffix(halves) + ".bmp";
                const std::string error = readBmp(file, *bmp);
                if (!error.empty()) errors += file + ": " + error + "\n";
            }
        }
    }
    void SetUp() override { ASSERT_EQ(errors, ""); }

    int halves() const { return GetParam(); }
    double factor() const { return halves() / 2.0; }
    int dev(int v) const { return panel::toDevice(v, halves()); }
    Rect dev(const Rect& r) const { return panel::toDevice(r, halves()); }
    int cell(int size) const { return panel::cellSize(size, halves()); }
    const Skin& skin() const { return skins[halves() - 2]; }
    static const Skin& unscaled() { return skins[0]; }

    static inline Skin skins[3];
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

TEST_P(SkinBitmaps, HaveTheSizesAndFormatTheEditorLoads) {
    // Worked by hand from the 1x sizes: floor(size * scale) per cell, cells side by side.
    const struct {
        int panel[2], knob[2], tube[2], circuit[2];
    } sizes[] = {{{500, 322}, {3888, 48}, {960, 53}, {1860, 25}},
                 {{750, 483}, {5832, 72}, {1440, 79}, {2790, 37}},
                 {{1000, 644}, {7776, 96}, {1920, 106}, {3720, 50}}};
    const auto& expected = sizes[halves() - 2];
    const struct {
        const char* name;
        const Bitmap& bmp;
        const int* size;
    } cases[] = {{"panel", skin().panel, expected.panel},
                 {"knob", skin().knob, expected.knob},
                 {"tube", skin().tube, expected.tube},
                 {"circuit", skin().circuit, expected.circuit}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.bmp.width, c.size[0]);
        EXPECT_EQ(c.bmp.height, c.size[1]);  // positive: stored bottom-up
        EXPECT_EQ(c.bmp.infoSize, 40u);
        EXPECT_EQ(c.bmp.dataOffset, 54u);
        EXPECT_EQ(c.bmp.planes, 1);
    }
    // The layout's own sizes agree, so the editor's copies stay inside.
    EXPECT_EQ(skin().panel.width, dev(panel::kWidth));
    EXPECT_EQ(skin().panel.height, dev(panel::kPanelBitmapHeight));
    EXPECT_EQ(skin().knob.width, cell(48) * panel::kKnobCells);
    EXPECT_EQ(skin().tube.width, cell(panel::kTube.width) * panel::kTubeCells);
    EXPECT_EQ(skin().circuit.width, cell(panel::kCircuit.width) * panel::kCircuitCells);
}

TEST_P(SkinBitmaps, MaskedCellsAreBlackOutsideTheirHardEdgedMask) {
    const int knob = cell(48);
    expectDiscMask(skin().knob, 0, 0, knob, "knob mask");
    for (int c = 1; c <= 80; ++c)
        expectCellFitsMask(skin().knob, knob * c, 0, skin().knob, 0, 0, knob, "knob cell " + std::to_string(c));

    const int led = cell(panel::kLedSize);
    const Rect mask = dev(panel::kLedMask);
    expectDiscMask(skin().panel, mask.x, mask.y, led, "LED mask");
    for (int row : {panel::kRedLedRow, panel::kGreenLedRow})
        for (int c = 0; c < panel::kLedCells; ++c)
            expectCellFitsMask(skin().panel, led * c, dev(row), skin().panel, mask.x, mask.y, led,
                               "LED row " + std::to_string(row) + " cell " + std::to_string(c));
}

// Angle of the pointer in a knob cell, clockwise from straight down, taken
// from the bright pixels on the cap (the pointer is the only light detail).
double pointerAngle(const Bitmap& knob, int size, int cell, double scale) {
    double sx = 0;
    double sy = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double dx = (x + 0.5 - size / 2.0) / scale;
            const double dy = (y + 0.5 - size / 2.0) / scale;
            const double r = std::sqrt(dx * dx + dy * dy);
            if (r < 6 || r > 14 || luminance(knob.at(size * cell + x, y)) < 190) continue;
            sx += dx;
            sy += dy;
        }
    // Down is (0, 1); clockwise on screen turns it towards (-1, 0).
    const double degrees = std::atan2(-sx, sy) * 180.0 / 3.14159265358979;
    return degrees < 0 ? degrees + 360 : degrees;
}

TEST_P(SkinBitmaps, KnobPointerTurnsClockwiseFromStraightDown) {
    // Cell 1 points down, cell 41 up, each cell 4.5 degrees further.
    for (int c = 1; c <= 80; ++c) {
        const double angle = pointerAngle(skin().knob, cell(48), c, factor());
        double error = std::fabs(angle - (c - 1) * 4.5);
        error = std::min(error, 360 - error);
        EXPECT_LT(error, 2.0) << "knob cell " << c << " points at " << angle;
    }
}

TEST_P(SkinBitmaps, ReadoutSourcesMatchTheDisplay) {
    // Segments are copied from the patch's device origin. At a scale their
    // sizes round up, to ceil(7 * scale) + 1 at the longest; the rows stop
    // where the % glyph begins.
    const Rect patch = dev(panel::kSegmentColour);
    const int reach = halves() == panel::kUnscaled ? 7 : static_cast<int>(std::ceil(7 * factor())) + 1;
    const int rows = dev(panel::kPercentGlyph.y) - patch.y;
    EXPECT_GE(rows, patch.height);
    for (int y = patch.y; y < patch.y + rows; ++y)
        for (int x = patch.x; x < patch.x + reach; ++x) ASSERT_EQ(skin().panel.at(x, y), kSegment) << x << "," << y;

    // Unit glyphs are copied straight onto the display at the unit glyph's
    // place, at its size: apart from the lettering they must be the display's
    // own background.
    const Rect unit = dev(panel::kUnitGlyph);
    for (const Rect& glyph : {panel::kPercentGlyph, panel::kDecibelGlyph}) {
        const Rect source = dev(glyph);
        int background = 0;
        int mismatched = 0;
        for (int y = 0; y < unit.height; ++y)
            for (int x = 0; x < unit.width; ++x) {
                const uint32_t p = skin().panel.at(source.x + x, source.y + y);
                if (p == kSegment) continue;
                ++background;
                mismatched += p != skin().panel.at(unit.x + x, unit.y + y);
            }
        EXPECT_EQ(mismatched, 0) << "glyph at x " << glyph.x;
        EXPECT_LT(background, unit.width * unit.height) << "glyph at x " << glyph.x << " has no lettering";
    }
    // The display is dark so that the light segments read.
    const Rect display = dev(panel::kDisplay);
    EXPECT_LT(meanLuminance(skin().panel, display.x, display.y, display.width, display.height), 40.0);
}

TEST_P(SkinBitmaps, TubeCellsBlendIntoThePanelAndGlowMoreEachCell) {
    // Each cell replaces the tube's area with a plain copy: its border must
    // continue the panel around it.
    const Rect tube = dev(panel::kTube);
    const int width = cell(panel::kTube.width);
    ASSERT_EQ(tube.width, width);
    ASSERT_EQ(tube.height, skin().tube.height);
    for (int c = 0; c < panel::kTubeCells; ++c) {
        int seams = 0;
        for (int y = 0; y < tube.height; ++y)
            for (int x = 0; x < width; ++x)
                if ((x == 0 || x == width - 1 || y == 0 || y == tube.height - 1) &&
                    skin().tube.at(width * c + x, y) != skin().panel.at(tube.x + x, tube.y + y))
                    ++seams;
        EXPECT_EQ(seams, 0) << "tube cell " << c;
    }
    double previous = meanLuminance(skin().panel, tube.x, tube.y, width, tube.height);
    for (int c = 0; c < panel::kTubeCells; ++c) {
        const double now = meanLuminance(skin().tube, width * c, 0, width, tube.height);
        EXPECT_GT(now, previous) << "tube cell " << c;
        previous = now;
    }
}

TEST_P(SkinBitmaps, LedAndCircuitCellsBrightenInOrder) {
    const int led = cell(panel::kLedSize);
    const Rect lens = dev(Rect{4, 4, 12, 12});
    for (int row : {panel::kRedLedRow, panel::kGreenLedRow}) {
        double previous = 0;
        for (int c = 0; c < panel::kLedCells; ++c) {
            const double now = meanLuminance(skin().panel, led * c + lens.x, dev(row) + lens.y, lens.width, lens.height);
            EXPECT_GT(now, previous) << "LED row " << row << " cell " << c;
            previous = now;
        }
    }
    // The level LED swaps rows at full scale: the top row must read red, the
    // lower one green.
    const uint32_t red = skin().panel.at(led * 17 + dev(11), dev(panel::kRedLedRow) + dev(11));
    const uint32_t green = skin().panel.at(led * 17 + dev(11), dev(panel::kGreenLedRow) + dev(11));
    EXPECT_GT(red >> 16 & 0xFF, (red >> 8 & 0xFF) + 60);
    EXPECT_GT(green >> 8 & 0xFF, (green >> 16 & 0xFF) + 60);

    const Rect window = dev(panel::kCircuit);
    double previous = 0;
    for (int c = 1; c <= 14; ++c) {
        const double now = meanLuminance(skin().circuit, window.width * c, 0, window.width, window.height);
        EXPECT_GT(now, previous) << "circuit cell " << c;
        previous = now;
    }
}

// The editor's sprite: AND the mask, OR the picture, over what is there.
std::vector<uint32_t> composeSprite(const Bitmap& under, int x, int y, int size, const Bitmap& sprites, int maskX,
                                    int maskY, int pictureX, int pictureY) {
    std::vector<uint32_t> out;
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i)
            out.push_back((under.at(x + i, y + j) & sprites.at(maskX + i, maskY + j)) |
                          sprites.at(pictureX + i, pictureY + j));
    return out;
}

// Pixels of two composed sprites that differ within `radius` of the centre.
int differencesWithin(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int size, double radius) {
    int count = 0;
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i) {
            const double dx = i + 0.5 - size / 2.0;
            const double dy = j + 0.5 - size / 2.0;
            if (dx * dx + dy * dy < radius * radius) count += a[j * size + i] != b[j * size + i];
        }
    return count;
}

// A sprite at a control's device origin must land on its seat the same way
// at every place, or a knob at an odd panel x at 1.5x shows a half-pixel
// fringe. Compared up to just inside the seat's opaque collar (knobs, radius
// 22.5) or bezel (LEDs, 10.2); beyond that the brushed metal differs.
TEST_P(SkinBitmaps, SpritesSitOnTheirSeatsAlikeAtEveryPlace) {
    const Skin& s = skin();
    const int knob = cell(48);
    for (int c : {6, 41, 77}) {
        std::vector<std::vector<uint32_t>> composed;
        for (int k = 0; k < panel::kKnobCount; ++k) {
            const Rect at = dev(panel::kControls[k].area);
            ASSERT_EQ(at.width, knob);
            composed.push_back(composeSprite(s.panel, at.x, at.y, knob, s.knob, 0, 0, knob * c, 0));
        }
        for (int k = 1; k < panel::kKnobCount; ++k)
            EXPECT_EQ(differencesWithin(composed[0], composed[k], knob, 22.5 * factor() - 1), 0)
                << "knob cell " << c << " on " << panel::kControls[k].label;
        // The panel itself shows every knob at its centre cell.
        if (c == 41)
            for (int k = 0; k < panel::kKnobCount; ++k) {
                const Rect at = dev(panel::kControls[k].area);
                const auto panelArea = composeSprite(s.panel, at.x, at.y, knob, s.panel, at.x, at.y, at.x, at.y);
                EXPECT_EQ(differencesWithin(composed[k], panelArea, knob, knob), 0) << panel::kControls[k].label;
            }
    }

    const int led = cell(panel::kLedSize);
    const Rect mask = dev(panel::kLedMask);
    const Rect places[] = {dev(panel::kLevelLed), dev(panel::kControls[4].area), dev(panel::kControls[5].area)};
    for (int row : {panel::kRedLedRow, panel::kGreenLedRow})
        for (int c : {0, 17}) {
            std::vector<std::vector<uint32_t>> composed;
            for (const Rect& at : places) {
                ASSERT_EQ(at.width, led);
                composed.push_back(composeSprite(s.panel, at.x, at.y, led, s.panel, mask.x, mask.y, led * c, dev(row)));
            }
            for (int p = 1; p < 3; ++p)
                EXPECT_EQ(differencesWithin(composed[0], composed[p], led, 10.2 * factor() - 1), 0)
                    << "LED row " << row << " cell " << c << " at place " << p;
        }
}

// Mean of a square of pixels, per channel.
struct Mean {
    double r = 0, g = 0, b = 0;
};
Mean boxMean(const Bitmap& bmp, int left, int top, int size) {
    Mean m;
    for (int y = top; y < top + size; ++y)
        for (int x = left; x < left + size; ++x) {
            const uint32_t p = bmp.at(x, y);
            m.r += p >> 16 & 0xFF;
            m.g += p >> 8 & 0xFF;
            m.b += p & 0xFF;
        }
    const double n = size * size;
    return {m.r / n, m.g / n, m.b / n};
}

struct BoxDifference {
    double largest = 0;  // in levels, the largest channel's
    int x = 0, y = 0;    // where, in 1x pixels
};

// Compares a scaled bitmap with the 1x one box by box: a box of 4 x 4 panel
// units is 2 * halves device pixels square. Boxes touching `skip` (in 1x
// pixels) are left out.
BoxDifference compareBoxes(const Bitmap& scaled, const Bitmap& unscaled, int halves, Rect skip = {0, 0, 0, 0}) {
    constexpr int kBox = 4;
    BoxDifference worst;
    for (int y = 0; y + kBox <= unscaled.height; y += kBox)
        for (int x = 0; x + kBox <= unscaled.width; x += kBox) {
            if (x + kBox > skip.x && x < skip.x + skip.width && y + kBox > skip.y && y < skip.y + skip.height)
                continue;
            const Mean a = boxMean(unscaled, x, y, kBox);
            const Mean b = boxMean(scaled, x * halves / 2, y * halves / 2, kBox * halves / 2);
            const double d = std::max({std::fabs(a.r - b.r), std::fabs(a.g - b.g), std::fabs(a.b - b.b)});
            if (d > worst.largest) worst = {d, x, y};
        }
    return worst;
}

// The larger sets are the 1x design drawn finer: averaged over boxes of
// 4 x 4 panel units they stay close to the 1x pixels everywhere, while a
// misplaced, missing or recoloured element (a tube one unit low, a pointer
// one cell off) moves some box by 25 levels or more. What the tolerance
// allows for: the grain is drawn afresh per device pixel, and edges fall
// differently within a pixel, more so at 1.5x, where odd coordinates land on
// half pixels and snapped controls move by a third of a unit, than at 2x.
// Left out: the masks (hard-edged, so their edges cannot agree) and the
// readout sources (the segment patch reaches further at a scale).
TEST_P(SkinBitmaps, LargerSetsAreTheOneDesignFinerNotEnlarged) {
    if (halves() == panel::kUnscaled) GTEST_SKIP() << "the 1x set is the reference";
    const double tolerance = halves() == 4 ? 12 : 24;
    const Rect sources{360, 141, 30, 40};  // LED mask, segment patch, unit glyphs
    const Rect knobMask{0, 0, 48, 48};
    const struct {
        const char* name;
        BoxDifference d;
    } cases[] = {{"panel", compareBoxes(skin().panel, unscaled().panel, halves(), sources)},
                 {"knob", compareBoxes(skin().knob, unscaled().knob, halves(), knobMask)},
                 {"tube", compareBoxes(skin().tube, unscaled().tube, halves())},
                 {"circuit", compareBoxes(skin().circuit, unscaled().circuit, halves())}};
    for (const auto& c : cases)
        EXPECT_LT(c.d.largest, tolerance) << c.name << " differs at " << c.d.x << "," << c.d.y << " (1x pixels)";

    // Drawn, not enlarged: an enlargement to 2x has every aligned 2 x 2 block
    // of one colour; a drawing has detail within most of them.
    if (halves() == 4) {
        int detailed = 0;
        const Bitmap& p = skin().panel;
        for (int y = 0; y < dev(panel::kHeight); y += 2)
            for (int x = 0; x < p.width; x += 2)
                detailed += p.at(x, y) != p.at(x + 1, y) || p.at(x, y) != p.at(x, y + 1) ||
                            p.at(x, y) != p.at(x + 1, y + 1);
        EXPECT_GT(detailed, panel::kWidth * panel::kHeight / 5);
    }
}

std::string scaleName(const ::testing::TestParamInfo<int>& info) {
    return info.param == 3 ? "1_5x" : std::to_string(info.param / 2) + "x";
}
INSTANTIATE_TEST_SUITE_P(Scales, SkinBitmaps, ::testing::ValuesIn(panel::kScaleHalves), scaleName);

}  // namespace
