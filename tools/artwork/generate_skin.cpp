// Draws the editor's four skin bitmaps at 1x, 1.5x and 2x and writes them as
// 24-bit bottom-up BMP files, the form the resource script embeds:
//
//   generate_skin OUTDIR [--scale 1|1.5|2]
//     ->  OUTDIR/panel.bmp, knob.bmp, tube.bmp, circuit.bmp (1x),
//         panel@1.5x.bmp, ... and panel@2x.bmp, ... (all three unless --scale)
//
// Everything is procedural: no system fonts (lettering comes from the stroke
// glyphs below) and no unseeded randomness, so the output depends only on
// this file and the cairo version.
//
// The editor composes knobs and LEDs by AND-ing a mask and OR-ing a picture
// without restoring the seat, so masks are hard-edged black discs on white and
// every picture cell is pure black outside its disc. Anti-aliasing happens
// inside the disc, against a seat that is identical at every position.
//
// The larger sets are the same drawing at a larger scale, not an enlargement:
// cairo draws in panel units through a scaled matrix and the per-pixel work
// (metal, masks, copies) runs over device pixels. Each control's art is drawn
// with its panel origin snapped to the device pixel the editor puts its
// sprite at (panel::toDevice), so at 1.5x a knob at an odd panel x still
// sits on its seat exactly. At 1x every matrix is the identity.

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "editor/panel_layout.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double radians(double degrees) { return degrees * kPi / 180.0; }

// ---------------------------------------------------------------------------
// Layout: where the editor draws and hit-tests (editor/panel_layout.h), and
// what only the artwork needs.

struct Point {
    int x;
    int y;
};
constexpr Point topLeft(const panel::Rect& area) { return {area.x, area.y}; }

constexpr int kPanelWidth = panel::kWidth;
constexpr int kPanelHeight = panel::kHeight;
constexpr int kPanelBitmapHeight = panel::kPanelBitmapHeight;

// The strip cells are drawn over the seat of the leftmost knob; every seat
// is the same, so any would do.
constexpr panel::Rect kSeat = panel::kControls[3].area;
static_assert(panel::kControls[3].parameter == kIngain);
constexpr int kKnobSize = kSeat.width;
constexpr int kKnobCells = panel::kKnobCells;
constexpr double kKnobMaskRadius = 20.0;
constexpr double kKnobBodyRadius = 19.0;
// Cell 1 points straight down, each further cell turns 4.5 degrees clockwise;
// the editor uses cells 6 (raw 0), 41 (raw 64) and 77 (raw 128).
constexpr double kKnobDegreesPerCell = 4.5;
static_assert(panel::kKnobTurn.first == 6 && panel::kKnobTurn.last == 77);

constexpr int kLedSize = panel::kLedSize;
constexpr int kLedCells = panel::kLedCells;
constexpr Point kClipLed = topLeft(panel::kLevelLed);
// The LED rows are drawn over the x2 socket; every socket is the same.
constexpr Point kLedSeat = topLeft(panel::kControls[4].area);
constexpr double kLedMaskRadius = 7.0;
constexpr double kLedLensRadius = 6.2;

constexpr int kTubeX = panel::kTube.x;
constexpr int kTubeY = panel::kTube.y;
constexpr int kTubeWidth = panel::kTube.width;
constexpr int kTubeHeight = panel::kTube.height;
constexpr int kTubeCells = panel::kTubeCells;

constexpr int kCircuitX = panel::kCircuit.x;
constexpr int kCircuitY = panel::kCircuit.y;
constexpr int kCircuitWidth = panel::kCircuit.width;
constexpr int kCircuitHeight = panel::kCircuitCellHeight;
constexpr int kCircuitShownHeight = panel::kCircuit.height;
constexpr int kCircuitCells = panel::kCircuitCells;

constexpr int kDisplayX = panel::kDisplay.x;
constexpr int kDisplayY = panel::kDisplay.y;
constexpr int kDisplayWidth = panel::kDisplay.width;
constexpr int kDisplayHeight = panel::kDisplay.height;

constexpr int kRedRowY = panel::kRedLedRow;
constexpr int kGreenRowY = panel::kGreenLedRow;
constexpr Point kLedMask = topLeft(panel::kLedMask);
constexpr Point kPercentGlyph = topLeft(panel::kPercentGlyph);
constexpr Point kDecibelGlyph = topLeft(panel::kDecibelGlyph);
constexpr int kAboutY = panel::kAboutPanelY;

constexpr uint32_t kSegmentColour = 0x9E9E9C;  // 158, 158, 156
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;

// The scale a skin is drawn at, in halves (2 = 1x) as panel_layout.h counts it.
struct Scale {
    int halves;

    double factor() const { return halves / 2.0; }
    int dev(int v) const { return panel::toDevice(v, halves); }
    Point dev(Point p) const { return {dev(p.x), dev(p.y)}; }
    panel::Rect dev(const panel::Rect& r) const { return panel::toDevice(r, halves); }
    int cell(int size) const { return panel::cellSize(size, halves); }
    const char* suffix() const { return halves == 3 ? "@1.5x" : halves == 4 ? "@2x" : ""; }
};

// Makes panel point (px, py) land on device point (dx, dy), panel units
// scaled from there. With dx = px and dy = py at 1x this is the identity.
void place(cairo_t* cr, const Scale& scale, double px, double py, double dx, double dy) {
    const double k = scale.factor();
    cairo_identity_matrix(cr);
    cairo_translate(cr, dx - k * px, dy - k * py);
    cairo_scale(cr, k, k);
}

// Panel units, unsnapped: for art that nothing is composed over.
void placePanel(cairo_t* cr, const Scale& scale) { place(cr, scale, 0, 0, 0, 0); }

// Panel units with (px, py) on its device pixel: art that sprites or cells
// are composed over, so that its sub-pixel phase is the same at every place.
void snapTo(cairo_t* cr, const Scale& scale, int px, int py) {
    place(cr, scale, px, py, scale.dev(px), scale.dev(py));
}

// ---------------------------------------------------------------------------
// Colours

struct Rgb {
    double r;
    double g;
    double b;
};

constexpr Rgb rgb(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }

Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scaled(Rgb c, double k) { return {c.r * k, c.g * k, c.b * k}; }

void setSource(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void addStop(cairo_pattern_t* pattern, double offset, Rgb c, double alpha = 1.0) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, c.r, c.g, c.b, alpha);
}

// Takes ownership of a pattern, makes it the source and releases it.
void setPattern(cairo_t* cr, cairo_pattern_t* pattern) {
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
}

const Rgb kInk = rgb(232, 218, 190);         // printed lettering
const Rgb kInkShadow = rgb(8, 6, 5);
const Rgb kCopperLight = rgb(246, 206, 146);
const Rgb kCopper = rgb(201, 128, 62);
const Rgb kCopperDark = rgb(112, 62, 28);
const Rgb kLcd = rgb(19, 17, 15);
const Rgb kLcdGhost = rgb(30, 27, 24);

// ---------------------------------------------------------------------------
// An RGB24 cairo image with pixel access. Pixel reads and writes bypass cairo,
// so callers bracket them with beginPixels()/endPixels().

class Canvas {
public:
    Canvas(int width, int height)
        : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)),
          context_(cairo_create(surface_)),
          width_(width),
          height_(height) {
        cairo_set_source_rgb(context_, 0, 0, 0);
        cairo_paint(context_);
    }
    ~Canvas() {
        cairo_destroy(context_);
        cairo_surface_destroy(surface_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
    int width() const { return width_; }
    int height() const { return height_; }
    cairo_t* cr() const { return context_; }

    void beginPixels() const { cairo_surface_flush(surface_); }
    void endPixels() { cairo_surface_mark_dirty(surface_); }

    uint32_t pixel(int x, int y) const { return row(y)[x] & 0xFFFFFF; }
    void setPixel(int x, int y, uint32_t colour) { row(y)[x] = colour & 0xFFFFFF; }

    void fillRect(int x, int y, int w, int h, uint32_t colour) {
        beginPixels();
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) setPixel(i, j, colour);
        endPixels();
    }

    // Exact pixel copy, no resampling or blending.
    void copyFrom(const Canvas& src, int sx, int sy, int w, int h, int dx, int dy) {
        src.beginPixels();
        beginPixels();
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) setPixel(dx + i, dy + j, src.pixel(sx + i, sy + j));
        endPixels();
    }

private:
    uint32_t* row(int y) const {
        unsigned char* data = cairo_image_surface_get_data(surface_);
        return reinterpret_cast<uint32_t*>(data + y * cairo_image_surface_get_stride(surface_));
    }

    cairo_surface_t* surface_;
    cairo_t* context_;
    int width_;
    int height_;
};

// ---------------------------------------------------------------------------
// BMP output: 14-byte file header, 40-byte BITMAPINFOHEADER, BI_RGB, rows
// bottom-up in B, G, R order, each padded to a multiple of 4 bytes.

void putLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

bool writeBmp(const Canvas& canvas, const std::string& path) {
    const uint32_t rowBytes = (static_cast<uint32_t>(canvas.width()) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(canvas.height());
    constexpr uint32_t kHeaderBytes = 14 + 40;

    std::vector<uint8_t> out;
    out.reserve(kHeaderBytes + imageBytes);
    out.push_back('B');
    out.push_back('M');
    putLe(out, kHeaderBytes + imageBytes, 4);
    putLe(out, 0, 4);  // two reserved words
    putLe(out, kHeaderBytes, 4);
    putLe(out, 40, 4);
    putLe(out, static_cast<uint32_t>(canvas.width()), 4);
    putLe(out, static_cast<uint32_t>(canvas.height()), 4);  // positive: bottom-up
    putLe(out, 1, 2);                                       // planes
    putLe(out, 24, 2);
    putLe(out, 0, 4);  // BI_RGB
    putLe(out, imageBytes, 4);
    putLe(out, 2835, 4);  // 72 dpi
    putLe(out, 2835, 4);
    putLe(out, 0, 4);
    putLe(out, 0, 4);

    canvas.beginPixels();
    for (int y = canvas.height() - 1; y >= 0; --y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const uint32_t p = canvas.pixel(x, y);
            out.push_back(static_cast<uint8_t>(p));
            out.push_back(static_cast<uint8_t>(p >> 8));
            out.push_back(static_cast<uint8_t>(p >> 16));
        }
        for (uint32_t pad = static_cast<uint32_t>(canvas.width()) * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }

    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

// ---------------------------------------------------------------------------
// Stroke lettering. Glyphs sit on a grid with the cap height 0..10 (y down,
// baseline at 10), x-height from 3, descenders to 13. Path commands:
//   M x y          move
//   L x y          line
//   A cx cy rx ry a0 a1   elliptical arc, angles in degrees, clockwise
//   R ...          the same, anticlockwise
//   N              start a new stroke (before an arc that must not connect)

struct Glyph {
    char ch;
    double width;
    const char* path;
};

constexpr Glyph kGlyphs[] = {
    {' ', 3.5, ""},
    {'.', 0.0, "M0 9.4 L0 10"},
    {'-', 4.0, "M0 6.5 L4 6.5"},
    {'0', 6.0, "N A3 5 3 5 0 360"},
    {'1', 3.5, "M0.5 2 L3.5 0 L3.5 10"},
    {'2', 6.0, "N A3 3 3 3 -165 25 L0 10 L6 10"},
    {'3', 6.0, "N A3 2.5 2.7 2.5 -150 90 A3 7.5 3 2.5 -90 150"},
    {'4', 6.5, "M4.5 10 L4.5 0 L0 7 L6.5 7"},
    {'5', 6.0, "M6 0 L1 0 L0.5 4.6 A3 7 3 3 -125 150"},
    {'6', 6.0, "N A3 7 3 3 0 360 N A5.8 7 5.8 7 180 265"},
    {'7', 6.0, "M0 0 L6 0 L2 10"},
    {'8', 6.0, "N A3 2.5 2.6 2.5 0 360 N A3 7.5 3 2.5 0 360"},
    {'9', 6.0, "N A3 3 3 3 0 360 N A0.2 3 5.8 7 0 85"},
    {'A', 8.0, "M0 10 L4 0 L8 10 M1.6 6.5 L6.4 6.5"},
    {'B', 7.0, "M0 10 L0 0 L4 0 A4 2.5 2.5 2.5 -90 90 L0 5 M4 5 L4.5 5 A4.5 7.5 2.5 2.5 -90 90 L0 10"},
    {'C', 8.0, "N R4.2 5 4.2 5 -45 45"},
    {'D', 7.5, "M0 0 L0 10 L2.5 10 R2.5 5 5 5 90 -90 L0 0"},
    {'E', 6.5, "M6.5 0 L0 0 L0 10 L6.5 10 M0 5 L5 5"},
    {'F', 6.0, "M6.5 0 L0 0 L0 10 M0 5 L5 5"},
    {'G', 8.4, "N R4.2 5 4.2 5 -45 0 L4.8 5"},
    {'H', 7.0, "M0 0 L0 10 M7 0 L7 10 M0 5 L7 5"},
    {'I', 0.0, "M0 0 L0 10"},
    {'K', 6.5, "M0 0 L0 10 M6.5 0 L0 6.5 M2.2 4.6 L6.5 10"},
    {'L', 6.0, "M0 0 L0 10 L6 10"},
    {'M', 8.5, "M0 10 L0 0 L4.25 7 L8.5 0 L8.5 10"},
    {'N', 7.0, "M0 10 L0 0 L7 10 L7 0"},
    {'O', 8.4, "N A4.2 5 4.2 5 0 360"},
    {'P', 7.0, "M0 10 L0 0 L4 0 A4 2.75 2.75 2.75 -90 90 L0 5.5"},
    {'R', 7.0, "M0 10 L0 0 L4 0 A4 2.75 2.75 2.75 -90 90 L0 5.5 M3.6 5.5 L7 10"},
    {'S', 7.0, "N R3.5 2.5 3.4 2.5 -25 90 A3.5 7.5 3.5 2.5 -90 155"},
    {'T', 7.0, "M0 0 L7 0 M3.5 0 L3.5 10"},
    {'U', 7.0, "M0 0 L0 6.5 R3.5 6.5 3.5 3.5 180 0 L7 0"},
    {'V', 8.0, "M0 0 L4 10 L8 0"},
    {'W', 10.0, "M0 0 L2.5 10 L5 2 L7.5 10 L10 0"},
    {'X', 7.0, "M0 0 L7 10 M7 0 L0 10"},
    {'Y', 7.0, "M0 0 L3.5 5 L7 0 M3.5 5 L3.5 10"},
    {'a', 6.0, "N A3 6.5 3 3.5 0 360 M6 3 L6 10"},
    {'b', 6.0, "M0 0 L0 10 N A3 6.5 3 3.5 0 360"},
    {'c', 5.5, "N R3 6.5 3 3.5 -45 45"},
    {'d', 6.0, "M6 0 L6 10 N A3 6.5 3 3.5 0 360"},
    {'e', 6.0, "M0 6.5 L6 6.5 R3 6.5 3 3.5 0 45"},
    {'f', 4.2, "N R3.8 2 1.8 2 -20 180 L2 10 M0 3.5 L4.2 3.5"},
    {'g', 6.0, "N A3 6.5 3 3.5 0 360 M6 3 L6 11 A3 11 3 2 0 160"},
    {'h', 6.0, "M0 0 L0 10 M0 6 A3 6 3 3 180 360 L6 10"},
    {'i', 0.0, "M0 3 L0 10 M0 0.5 L0 0.9"},
    {'k', 5.5, "M0 0 L0 10 M5.5 3 L0 7.5 M2 6 L5.5 10"},
    {'l', 0.0, "M0 0 L0 10"},
    {'m', 9.0, "M0 3 L0 10 M0 5.5 A2.25 5.5 2.25 2.5 180 360 L4.5 10 M4.5 5.5 A6.75 5.5 2.25 2.5 180 360 L9 10"},
    {'n', 6.0, "M0 3 L0 10 M0 6 A3 6 3 3 180 360 L6 10"},
    {'o', 6.4, "N A3.2 6.5 3.2 3.5 0 360"},
    {'p', 6.0, "M0 3 L0 13 N A3 6.5 3 3.5 0 360"},
    {'r', 4.0, "M0 3 L0 10 M0 7 A4 7 4 4 180 265"},
    {'s', 5.0, "N R2.5 4.75 2.4 1.75 -20 90 A2.5 8.25 2.5 1.75 -90 160"},
    {'t', 4.0, "M1.5 0.8 L1.5 8.5 R3 8.5 1.5 1.5 180 90 L4 10 M0 3.5 L4 3.5"},
    {'u', 6.0, "M0 3 L0 7 R3 7 3 3 180 0 M6 3 L6 10"},
    {'v', 6.0, "M0 3 L3 10 L6 3"},
    {'w', 8.0, "M0 3 L2 10 L4 4.5 L6 10 L8 3"},
    {'x', 6.0, "M0 3 L6 10 M6 3 L0 10"},
    {'y', 6.0, "M0 3 L3.2 10 M6 3 L2.2 13 L1 13"},
};

constexpr double kGlyphGap = 2.6;  // grid units between glyph boxes

const Glyph* findGlyph(char c) {
    for (const Glyph& g : kGlyphs)
        if (g.ch == c) return &g;
    return nullptr;
}

// Reads numbers from a glyph path; the table is trusted, so no error paths.
class PathReader {
public:
    explicit PathReader(const char* text) : cursor_(text) {}
    char command() {
        while (*cursor_ == ' ') ++cursor_;
        return *cursor_ ? *cursor_++ : '\0';
    }
    double number() {
        char* end = nullptr;
        const double v = std::strtod(cursor_, &end);
        cursor_ = end;
        return v;
    }

private:
    const char* cursor_;
};

void appendGlyphPath(cairo_t* cr, const char* path) {
    PathReader reader(path);
    for (char c = reader.command(); c != '\0'; c = reader.command()) {
        if (c == 'M' || c == 'L') {
            const double x = reader.number();
            const double y = reader.number();
            if (c == 'M')
                cairo_move_to(cr, x, y);
            else
                cairo_line_to(cr, x, y);
        } else if (c == 'A' || c == 'R') {
            const double cx = reader.number();
            const double cy = reader.number();
            const double rx = reader.number();
            const double ry = reader.number();
            const double a0 = reader.number();
            const double a1 = reader.number();
            cairo_save(cr);
            cairo_translate(cr, cx, cy);
            cairo_scale(cr, rx, ry);
            if (c == 'A')
                cairo_arc(cr, 0, 0, 1, radians(a0), radians(a1));
            else
                cairo_arc_negative(cr, 0, 0, 1, radians(a0), radians(a1));
            cairo_restore(cr);
        } else if (c == 'N') {
            cairo_new_sub_path(cr);
        }
    }
}

enum class Align { left, centre, right };

struct TextStyle {
    double capHeight;     // pixels
    double tracking = 0;  // extra pixels between glyphs
    double weight = 0.16; // stroke width as a fraction of the cap height
};

double textWidth(const std::string& text, const TextStyle& style) {
    const double scale = style.capHeight / 10.0;
    double width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Glyph* g = findGlyph(text[i]);
        width += (g ? g->width : 4.0) * scale;
        if (i + 1 < text.size()) width += kGlyphGap * scale + style.tracking;
    }
    return width;
}

// Builds the strokes of `text` as the current path; returns the left edge.
double textPath(cairo_t* cr, const std::string& text, double x, double baseline,
                const TextStyle& style, Align align) {
    const double width = textWidth(text, style);
    double left = x;
    if (align == Align::centre) left = x - width / 2;
    if (align == Align::right) left = x - width;
    const double scale = style.capHeight / 10.0;
    double pen = left;
    cairo_new_path(cr);
    for (char c : text) {
        const Glyph* g = findGlyph(c);
        if (g != nullptr) {
            cairo_save(cr);
            cairo_translate(cr, pen, baseline - style.capHeight);
            cairo_scale(cr, scale, scale);
            appendGlyphPath(cr, g->path);
            cairo_restore(cr);
        }
        pen += ((g ? g->width : 4.0) + kGlyphGap) * scale + style.tracking;
    }
    return left;
}

void strokeText(cairo_t* cr, const TextStyle& style) {
    cairo_set_line_width(cr, std::max(0.9, style.capHeight * style.weight));
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

// Printed lettering: a faint dark drop shadow under light ink.
void drawLabel(cairo_t* cr, const std::string& text, double x, double baseline,
               const TextStyle& style, Align align, Rgb ink = kInk) {
    textPath(cr, text, x + 0.5, baseline + 0.7, style, align);
    setSource(cr, kInkShadow, 0.55);
    strokeText(cr, style);
    textPath(cr, text, x, baseline, style, align);
    setSource(cr, ink);
    strokeText(cr, style);
}

// Copper lettering with a cast shadow, for the product name.
void drawCopperText(cairo_t* cr, const std::string& text, double x, double baseline,
                    const TextStyle& style, Align align) {
    textPath(cr, text, x + 1.2, baseline + 1.6, style, align);
    setSource(cr, kInkShadow, 0.7);
    strokeText(cr, style);

    textPath(cr, text, x, baseline, style, align);
    cairo_pattern_t* copper =
        cairo_pattern_create_linear(0, baseline - style.capHeight * 1.05, 0, baseline + 1);
    addStop(copper, 0.0, kCopperLight);
    addStop(copper, 0.45, kCopper);
    addStop(copper, 1.0, kCopperDark);
    setPattern(cr, copper);
    strokeText(cr, style);

    // A thin highlight along the upper edge of each stroke.
    textPath(cr, text, x - 0.3, baseline - 0.5, style, align);
    setSource(cr, rgb(255, 236, 200), 0.22);
    TextStyle thin = style;
    thin.weight = style.weight * 0.35;
    strokeText(cr, thin);
}

// ---------------------------------------------------------------------------
// Panel surface: warm dark brushed metal, computed per pixel from a hash so it
// is identical on every run.

uint32_t hash2(int x, int y) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u;
    h ^= h >> 13;
    h *= 0x85EBCA6Bu;
    h ^= h >> 16;
    h *= 0xC2B2AE35u;
    h ^= h >> 15;
    return h;
}

double noise(int x, int y) { return hash2(x, y) / 4294967295.0 * 2.0 - 1.0; }

double smoothNoise(double x, int row) {
    const double cell = std::floor(x);
    double f = x - cell;
    f = f * f * (3 - 2 * f);
    const int i = static_cast<int>(cell);
    return noise(i, row) + (noise(i + 1, row) - noise(i, row)) * f;
}

uint32_t toPixel(Rgb c) {
    auto channel = [](double v) {
        return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
    };
    return channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

// (x, y): the pixel's centre in panel units, for the shading; (gx, gy): the
// device pixel, which keys the grain, so a larger scale gets a finer grain of
// the same strength.
Rgb brushedMetal(double x, double y, int gx, int gy) {
    const double t = y / (kPanelHeight - 1.0);
    Rgb c = mix(rgb(63, 55, 48), rgb(37, 32, 28), t);
    const double streak = 0.05 * noise(3, gy) + 0.05 * smoothNoise(x / 31.0, gy) +
                          0.025 * smoothNoise(x / 5.0, gy + 1000) + 0.02 * noise(gx, gy);
    const double edge = std::min({x, y, kPanelWidth - 1 - x, kPanelHeight - 1 - y}) / 18.0;
    const double vignette = 1.0 - 0.12 * (1.0 - std::min(1.0, edge));
    return scaled(c, (1.0 + streak) * vignette);
}

void paintMetal(Canvas& canvas, int top, const Scale& scale) {
    const double k = scale.factor();
    canvas.beginPixels();
    for (int y = 0; y < scale.dev(kPanelHeight); ++y)
        for (int x = 0; x < scale.dev(kPanelWidth); ++x)
            canvas.setPixel(x, top + y, toPixel(brushedMetal((x + 0.5) / k - 0.5, (y + 0.5) / k - 0.5, x, y)));
    canvas.endPixels();
}

// A dark rim one panel unit wide and a bevel the next unit in, laid on
// whole device pixels so the editor's outline stays crisp at 1.5x.
void drawPanelEdge(cairo_t* cr, const Scale& scale) {
    cairo_save(cr);
    cairo_identity_matrix(cr);
    const double width = scale.dev(kPanelWidth);
    const double height = scale.dev(kPanelHeight);
    const double rim = scale.dev(1);
    const double bevel = scale.dev(2) - rim;
    const double in = rim + bevel / 2;
    cairo_set_line_width(cr, bevel);
    setSource(cr, rgb(120, 106, 94), 0.45);
    cairo_move_to(cr, in, height - in);
    cairo_line_to(cr, in, in);
    cairo_line_to(cr, width - in, in);
    cairo_stroke(cr);
    setSource(cr, rgb(0, 0, 0), 0.45);
    cairo_move_to(cr, width - in, in);
    cairo_line_to(cr, width - in, height - in);
    cairo_line_to(cr, in, height - in);
    cairo_stroke(cr);
    cairo_set_line_width(cr, rim);
    setSource(cr, rgb(10, 8, 7));
    cairo_rectangle(cr, rim / 2, rim / 2, width - rim, height - rim);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void drawScrew(cairo_t* cr, double cx, double cy, double angle) {
    cairo_arc(cr, cx + 0.4, cy + 0.6, 3.9, 0, 2 * kPi);
    setSource(cr, rgb(0, 0, 0), 0.45);
    cairo_fill(cr);
    cairo_pattern_t* head = cairo_pattern_create_radial(cx - 1.2, cy - 1.4, 0.3, cx, cy, 3.6);
    addStop(head, 0.0, rgb(180, 170, 158));
    addStop(head, 1.0, rgb(62, 56, 50));
    setPattern(cr, head);
    cairo_arc(cr, cx, cy, 3.5, 0, 2 * kPi);
    cairo_fill(cr);
    setSource(cr, rgb(24, 20, 17), 0.9);
    cairo_set_line_width(cr, 0.9);
    for (int i = 0; i < 2; ++i) {
        const double a = angle + i * kPi / 2;
        cairo_move_to(cr, cx - 2.4 * std::cos(a), cy - 2.4 * std::sin(a));
        cairo_line_to(cr, cx + 2.4 * std::cos(a), cy + 2.4 * std::sin(a));
    }
    cairo_stroke(cr);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, radians(-90), 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, radians(90));
    cairo_arc(cr, x + r, y + h - r, r, radians(90), radians(180));
    cairo_arc(cr, x + r, y + r, r, radians(180), radians(270));
    cairo_close_path(cr);
}

// A recess: dark inside, lit lower lip, shaded upper lip.
void drawRecess(cairo_t* cr, double x, double y, double w, double h, double r) {
    roundedRect(cr, x - 1, y - 1, w + 2, h + 2, r + 1);
    cairo_pattern_t* lip = cairo_pattern_create_linear(0, y - 1, 0, y + h + 1);
    addStop(lip, 0.0, rgb(0, 0, 0), 0.6);
    addStop(lip, 1.0, rgb(150, 134, 118), 0.55);
    setPattern(cr, lip);
    cairo_fill(cr);
    roundedRect(cr, x, y, w, h, r);
    setSource(cr, rgb(14, 12, 11));
    cairo_fill(cr);
}

// ---------------------------------------------------------------------------
// Knob seat and knob

// The pointer direction for a knob angle measured clockwise from straight down.
void pointerDirection(double degreesFromDown, double& dx, double& dy) {
    const double a = radians(90.0 + degreesFromDown);
    dx = std::cos(a);
    dy = std::sin(a);
}

// Everything around a knob that does not turn. Inside the mask radius it is a
// flat colour so that the anti-aliased knob edge blends the same everywhere.
void drawKnobSeat(cairo_t* cr, double cx, double cy, const char* label) {
    // Scale: ticks at the ends and the middle of the travel the editor uses.
    const double first = 5 * kKnobDegreesPerCell;   // cell 6
    const double middle = 40 * kKnobDegreesPerCell; // cell 41
    const double last = 76 * kKnobDegreesPerCell;   // cell 77
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i <= 10; ++i) {
        const double a = i <= 5 ? first + (middle - first) * i / 5.0
                                : middle + (last - middle) * (i - 5) / 5.0;
        const bool major = i == 0 || i == 5 || i == 10;
        double dx;
        double dy;
        pointerDirection(a, dx, dy);
        const double inner = 25.0;
        const double outer = major ? 29.5 : 27.8;
        cairo_move_to(cr, cx + dx * inner + 0.4, cy + dy * inner + 0.6);
        cairo_line_to(cr, cx + dx * outer + 0.4, cy + dy * outer + 0.6);
        setSource(cr, kInkShadow, 0.5);
        cairo_set_line_width(cr, major ? 1.6 : 1.2);
        cairo_stroke(cr);
        cairo_move_to(cr, cx + dx * inner, cy + dy * inner);
        cairo_line_to(cr, cx + dx * outer, cy + dy * outer);
        setSource(cr, major ? kInk : mix(kInk, rgb(60, 52, 46), 0.35));
        cairo_stroke(cr);
    }

    // Recessed collar with a soft shadow to the lower right.
    cairo_arc(cr, cx, cy, 23.5, 0, 2 * kPi);
    cairo_pattern_t* lip = cairo_pattern_create_linear(cx - 17, cy - 17, cx + 17, cy + 17);
    addStop(lip, 0.0, rgb(0, 0, 0), 0.55);
    addStop(lip, 1.0, rgb(160, 142, 124), 0.55);
    setPattern(cr, lip);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, 22.5, 0, 2 * kPi);
    setSource(cr, rgb(21, 18, 16));
    cairo_fill(cr);
    cairo_arc(cr, cx + 1.2, cy + 1.6, 21.0, 0, 2 * kPi);
    cairo_arc_negative(cr, cx + 1.2, cy + 1.6, 19.0, 2 * kPi, 0);
    setSource(cr, rgb(8, 7, 6), 0.8);
    cairo_fill(cr);
    // Flat inside the mask so every knob position blends alike.
    cairo_arc(cr, cx, cy, kKnobMaskRadius + 0.6, 0, 2 * kPi);
    setSource(cr, rgb(12, 10, 9));
    cairo_fill(cr);

    TextStyle style{6.2, 1.3, 0.17};
    drawLabel(cr, label, cx, cy - 32.5, style, Align::centre);
}

// One knob picture: a knurled dark skirt, a brushed cap lit from the upper
// left and a cream pointer. Only the pointer and the knurl turn.
void drawKnob(cairo_t* cr, double cx, double cy, double degreesFromDown) {
    const double r = kKnobBodyRadius;

    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_pattern_t* skirt = cairo_pattern_create_linear(cx - r, cy - r, cx + r, cy + r);
    addStop(skirt, 0.0, rgb(92, 83, 75));
    addStop(skirt, 0.5, rgb(44, 39, 35));
    addStop(skirt, 1.0, rgb(22, 19, 17));
    setPattern(cr, skirt);
    cairo_fill(cr);

    // Knurl ridges, lit according to where they face.
    cairo_set_line_width(cr, 0.9);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    constexpr int kRidges = 36;
    for (int i = 0; i < kRidges; ++i) {
        double dx;
        double dy;
        pointerDirection(degreesFromDown + (i + 0.5) * 360.0 / kRidges, dx, dy);
        const double facing = 0.5 + 0.5 * (-dx * 0.7071 - dy * 0.7071);
        cairo_move_to(cr, cx + dx * 15.6, cy + dy * 15.6);
        cairo_line_to(cr, cx + dx * (r - 0.6), cy + dy * (r - 0.6));
        setSource(cr, mix(rgb(6, 5, 4), rgb(170, 156, 140), facing), 0.7);
        cairo_stroke(cr);
    }
    cairo_arc(cr, cx, cy, r - 0.5, 0, 2 * kPi);
    cairo_pattern_t* rim = cairo_pattern_create_linear(cx - r, cy - r, cx + r, cy + r);
    addStop(rim, 0.0, rgb(190, 176, 160), 0.6);
    addStop(rim, 0.5, rgb(60, 54, 48), 0.2);
    addStop(rim, 1.0, rgb(0, 0, 0), 0.6);
    setPattern(cr, rim);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    // Cap, with a shadow ring where it meets the skirt.
    const double capR = 14.6;
    cairo_arc(cr, cx + 0.5, cy + 0.8, capR + 0.6, 0, 2 * kPi);
    setSource(cr, rgb(0, 0, 0), 0.5);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, capR, 0, 2 * kPi);
    cairo_pattern_t* cap = cairo_pattern_create_radial(cx - 5, cy - 6, 1.0, cx, cy, capR + 3);
    addStop(cap, 0.0, rgb(132, 121, 108));
    addStop(cap, 0.55, rgb(72, 65, 58));
    addStop(cap, 1.0, rgb(38, 34, 30));
    setPattern(cr, cap);
    cairo_fill(cr);
    cairo_set_line_width(cr, 0.5);
    for (double ring = 3.0; ring < capR - 0.5; ring += 1.6) {
        cairo_arc(cr, cx, cy, ring, 0, 2 * kPi);
        setSource(cr, std::fmod(ring, 3.2) < 1.0 ? rgb(255, 240, 220) : rgb(0, 0, 0), 0.05);
        cairo_stroke(cr);
    }
    cairo_arc(cr, cx, cy, capR - 0.4, 0, 2 * kPi);
    cairo_pattern_t* capRim = cairo_pattern_create_linear(cx - capR, cy - capR, cx + capR, cy + capR);
    addStop(capRim, 0.0, rgb(220, 206, 188), 0.7);
    addStop(capRim, 0.55, rgb(80, 72, 64), 0.1);
    addStop(capRim, 1.0, rgb(0, 0, 0), 0.5);
    setPattern(cr, capRim);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);

    // Pointer: a cream line inlaid from near the centre out across the skirt.
    double dx;
    double dy;
    pointerDirection(degreesFromDown, dx, dy);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, cx + dx * 5.0 + 0.5, cy + dy * 5.0 + 0.7);
    cairo_line_to(cr, cx + dx * 17.0 + 0.5, cy + dy * 17.0 + 0.7);
    setSource(cr, rgb(0, 0, 0), 0.55);
    cairo_set_line_width(cr, 2.8);
    cairo_stroke(cr);
    cairo_move_to(cr, cx + dx * 5.0, cy + dy * 5.0);
    cairo_line_to(cr, cx + dx * 17.0, cy + dy * 17.0);
    setSource(cr, rgb(244, 226, 188));
    cairo_set_line_width(cr, 2.3);
    cairo_stroke(cr);

    // Soft sheen on the upper left of the cap.
    cairo_pattern_t* sheen = cairo_pattern_create_radial(cx - 5, cy - 6, 0.0, cx - 5, cy - 6, 8.0);
    addStop(sheen, 0.0, rgb(255, 246, 230), 0.22);
    addStop(sheen, 1.0, rgb(255, 246, 230), 0.0);
    setPattern(cr, sheen);
    cairo_arc(cr, cx, cy, capR, 0, 2 * kPi);
    cairo_fill(cr);
}

// ---------------------------------------------------------------------------
// LEDs

struct LedColour {
    Rgb edge;
    Rgb body;
    Rgb core;
};

const LedColour kRedLed{rgb(150, 18, 10), rgb(255, 60, 36), rgb(255, 214, 190)};
const LedColour kGreenLed{rgb(20, 110, 26), rgb(70, 250, 80), rgb(220, 255, 210)};
const Rgb kLensOff = rgb(40, 33, 30);

// The chrome bezel and the dark hole around a lens; flat inside the mask.
void drawLedSocket(cairo_t* cr, double cx, double cy, const char* label, double labelBaseline) {
    cairo_arc(cr, cx + 0.5, cy + 0.9, 10.6, 0, 2 * kPi);
    setSource(cr, rgb(0, 0, 0), 0.5);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, 10.2, 0, 2 * kPi);
    cairo_pattern_t* outer = cairo_pattern_create_linear(cx, cy - 10, cx, cy + 10);
    addStop(outer, 0.0, rgb(214, 204, 190));
    addStop(outer, 0.5, rgb(120, 110, 100));
    addStop(outer, 1.0, rgb(46, 41, 37));
    setPattern(cr, outer);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, 8.6, 0, 2 * kPi);
    cairo_pattern_t* inner = cairo_pattern_create_linear(cx, cy - 9, cx, cy + 9);
    addStop(inner, 0.0, rgb(40, 36, 32));
    addStop(inner, 1.0, rgb(176, 166, 152));
    setPattern(cr, inner);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, kLedMaskRadius + 0.5, 0, 2 * kPi);
    setSource(cr, rgb(14, 11, 10));
    cairo_fill(cr);

    TextStyle style{5.2, 1.1, 0.18};
    drawLabel(cr, label, cx, labelBaseline, style, Align::centre);
}

// The lens at brightness t (0 = off, 1 = fully lit).
void drawLens(cairo_t* cr, double cx, double cy, const LedColour& colour, double t) {
    const double r = kLedLensRadius;
    const double lit = std::sqrt(t);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_pattern_t* lens = cairo_pattern_create_radial(cx - 0.6, cy - 0.8, 0.0, cx, cy, r);
    addStop(lens, 0.0, mix(kLensOff, colour.core, t * t));
    addStop(lens, 0.35, mix(scaled(kLensOff, 0.95), colour.body, lit));
    addStop(lens, 1.0, mix(scaled(kLensOff, 0.6), colour.edge, lit));
    setPattern(cr, lens);
    cairo_fill(cr);

    // Fixed reflection of the room light on the dome.
    cairo_pattern_t* glint = cairo_pattern_create_radial(cx - 2.2, cy - 2.6, 0.0, cx - 2.2, cy - 2.6, 2.6);
    addStop(glint, 0.0, rgb(255, 255, 255), 0.55);
    addStop(glint, 1.0, rgb(255, 255, 255), 0.0);
    setPattern(cr, glint);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_fill(cr);
}

// ---------------------------------------------------------------------------
// Tube, drawn in its 48 x 53 cell (origin at the cell's top left).

void tubeGlassPath(cairo_t* cr) {
    const double left = 11.0;
    const double right = 37.0;
    const double top = 2.0;
    const double bottom = 44.0;
    const double r = (right - left) / 2;
    cairo_new_path(cr);
    cairo_move_to(cr, left, bottom);
    cairo_line_to(cr, left, top + r);
    cairo_arc(cr, left + r, top + r, r, radians(180), radians(360));
    cairo_line_to(cr, right, bottom);
    cairo_close_path(cr);
}

void drawTube(cairo_t* cr, double ox, double oy, double glow) {
    cairo_save(cr);
    cairo_translate(cr, ox, oy);
    const double cx = 24.0;

    // Light spill on the panel around the tube; fades out inside the cell.
    if (glow > 0) {
        cairo_pattern_t* spill = cairo_pattern_create_radial(cx, 28, 6, cx, 28, 20);
        addStop(spill, 0.0, rgb(255, 120, 40), 0.30 * glow);
        addStop(spill, 1.0, rgb(255, 120, 40), 0.0);
        setPattern(cr, spill);
        cairo_rectangle(cr, 0, 0, kTubeWidth, kTubeHeight);
        cairo_fill(cr);
    }

    // Shadow and the socket.
    roundedRect(cr, 7.5, 42.5, 34, 10, 2.5);
    setSource(cr, rgb(0, 0, 0), 0.55);
    cairo_fill(cr);
    roundedRect(cr, 7, 42, 34, 9.5, 2.5);
    cairo_pattern_t* socket = cairo_pattern_create_linear(7, 0, 41, 0);
    addStop(socket, 0.0, rgb(22, 19, 17));
    addStop(socket, 0.3, rgb(70, 62, 55));
    addStop(socket, 1.0, rgb(14, 12, 11));
    setPattern(cr, socket);
    cairo_fill(cr);
    cairo_rectangle(cr, 9, 41, 30, 2.5);
    cairo_pattern_t* ring = cairo_pattern_create_linear(9, 0, 39, 0);
    addStop(ring, 0.0, rgb(90, 84, 76));
    addStop(ring, 0.3, rgb(220, 212, 198));
    addStop(ring, 1.0, rgb(60, 55, 50));
    setPattern(cr, ring);
    cairo_fill(cr);

    // Glass interior: dark, warmed by the glow.
    tubeGlassPath(cr);
    cairo_pattern_t* inside = cairo_pattern_create_linear(0, 2, 0, 44);
    addStop(inside, 0.0, mix(rgb(30, 28, 27), rgb(90, 48, 22), glow * 0.6));
    addStop(inside, 1.0, mix(rgb(18, 16, 15), rgb(120, 58, 20), glow * 0.7));
    setPattern(cr, inside);
    cairo_fill(cr);

    cairo_save(cr);
    tubeGlassPath(cr);
    cairo_clip(cr);

    // Getter flash at the top.
    cairo_arc(cr, cx, 13, 11.5, radians(180), radians(360));
    cairo_close_path(cr);
    cairo_pattern_t* getter = cairo_pattern_create_linear(12, 0, 36, 0);
    addStop(getter, 0.0, rgb(26, 24, 24));
    addStop(getter, 0.35, rgb(88, 84, 82));
    addStop(getter, 1.0, rgb(20, 19, 19));
    setPattern(cr, getter);
    cairo_fill(cr);

    // Support rods and mica.
    setSource(cr, rgb(120, 114, 106));
    cairo_set_line_width(cr, 0.8);
    cairo_move_to(cr, 15.5, 14);
    cairo_line_to(cr, 15.5, 41);
    cairo_move_to(cr, 32.5, 14);
    cairo_line_to(cr, 32.5, 41);
    cairo_stroke(cr);
    cairo_rectangle(cr, 13, 14, 22, 1.6);
    setSource(cr, rgb(170, 164, 150), 0.8);
    cairo_fill(cr);
    cairo_rectangle(cr, 13, 37.4, 22, 1.6);
    cairo_fill(cr);

    // Plate with a window onto the cathode.
    roundedRect(cr, 17, 17, 14, 19, 1.5);
    cairo_pattern_t* plate = cairo_pattern_create_linear(17, 0, 31, 0);
    addStop(plate, 0.0, rgb(38, 36, 34));
    addStop(plate, 0.3, rgb(92, 88, 84));
    addStop(plate, 1.0, rgb(30, 28, 27));
    setPattern(cr, plate);
    cairo_fill(cr);
    cairo_rectangle(cr, 22, 19, 4, 15);
    const Rgb coldCathode = rgb(40, 26, 20);
    const Rgb hot = rgb(255, 150, 50);
    const Rgb white = rgb(255, 236, 180);
    setSource(cr, glow < 0.7 ? mix(coldCathode, hot, glow / 0.7) : mix(hot, white, (glow - 0.7) / 0.3));
    cairo_fill(cr);

    // The glow itself, added on top of everything inside the glass.
    if (glow > 0) {
        cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
        cairo_pattern_t* halo = cairo_pattern_create_radial(cx, 27, 1.0, cx, 27, 16);
        addStop(halo, 0.0, rgb(255, 150, 60), 0.75 * glow);
        addStop(halo, 0.5, rgb(255, 100, 30), 0.30 * glow);
        addStop(halo, 1.0, rgb(255, 80, 20), 0.0);
        setPattern(cr, halo);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }

    // Reflections on the glass.
    cairo_pattern_t* reflection = cairo_pattern_create_linear(12, 0, 20, 0);
    addStop(reflection, 0.0, rgb(255, 255, 255), 0.0);
    addStop(reflection, 0.45, rgb(255, 255, 255), 0.30);
    addStop(reflection, 1.0, rgb(255, 255, 255), 0.0);
    setPattern(cr, reflection);
    roundedRect(cr, 13, 10, 5, 30, 2.5);
    cairo_fill(cr);
    setSource(cr, rgb(255, 255, 255), 0.12);
    roundedRect(cr, 32, 14, 2, 24, 1);
    cairo_fill(cr);
    cairo_restore(cr);

    // Glass outline.
    tubeGlassPath(cr);
    setSource(cr, rgb(200, 196, 190), 0.35);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    cairo_restore(cr);
}

// ---------------------------------------------------------------------------
// Circuit window: a small schematic behind smoked glass whose traces glow as
// the boost warms up. Drawn in its 124 x 24 window (origin at top left).

void circuitTraces(cairo_t* cr) {
    const double wire = 12.5;
    const double ground = 21.5;
    cairo_new_path(cr);
    // Input, series resistor, clipping diodes to ground.
    cairo_move_to(cr, 5, wire);
    cairo_line_to(cr, 11, wire);
    for (int i = 0; i < 6; ++i) cairo_line_to(cr, 12.5 + i * 2.2, wire + (i % 2 == 0 ? -2.5 : 2.5));
    cairo_line_to(cr, 26, wire);
    cairo_line_to(cr, 46, wire);
    for (double x : {31.0, 38.0}) {
        cairo_move_to(cr, x, wire);
        cairo_line_to(cr, x, ground);
    }
    // Coupling capacitor.
    cairo_move_to(cr, 46, wire - 4);
    cairo_line_to(cr, 46, wire + 4);
    cairo_move_to(cr, 49, wire - 4);
    cairo_line_to(cr, 49, wire + 4);
    cairo_move_to(cr, 49, wire);
    cairo_line_to(cr, 57, wire);
    // Triode: envelope, dashed grid, plate, cathode.
    cairo_new_sub_path(cr);
    cairo_arc(cr, 65, 12, 8.5, 0, 2 * kPi);
    for (double x = 58.5; x < 72; x += 2.5) {
        cairo_move_to(cr, x, wire);
        cairo_line_to(cr, x + 1.3, wire);
    }
    cairo_move_to(cr, 61, 6.5);
    cairo_line_to(cr, 69, 6.5);
    cairo_move_to(cr, 65, 6.5);
    cairo_line_to(cr, 65, 1.5);
    cairo_line_to(cr, 86, 1.5);
    cairo_line_to(cr, 86, wire);
    cairo_move_to(cr, 61, 17);
    cairo_line_to(cr, 69, 17);
    cairo_move_to(cr, 69, 17);
    cairo_line_to(cr, 69, ground);
    // Load resistor, output capacitor, output.
    cairo_move_to(cr, 86, wire);
    cairo_line_to(cr, 90, wire);
    for (int i = 0; i < 6; ++i) cairo_line_to(cr, 91.5 + i * 2.2, wire + (i % 2 == 0 ? -2.5 : 2.5));
    cairo_line_to(cr, 105, wire);
    cairo_line_to(cr, 110, wire);
    cairo_move_to(cr, 110, wire - 4);
    cairo_line_to(cr, 110, wire + 4);
    cairo_move_to(cr, 113, wire - 4);
    cairo_line_to(cr, 113, wire + 4);
    cairo_move_to(cr, 113, wire);
    cairo_line_to(cr, 119, wire);
    // Ground rail.
    cairo_move_to(cr, 31, ground);
    cairo_line_to(cr, 69, ground);
}

void circuitParts(cairo_t* cr) {
    const double wire = 12.5;
    cairo_new_path(cr);
    // Diodes: one pointing down, one up.
    cairo_move_to(cr, 28.5, 14.5);
    cairo_line_to(cr, 33.5, 14.5);
    cairo_line_to(cr, 31, 18);
    cairo_close_path(cr);
    cairo_move_to(cr, 35.5, 18.5);
    cairo_line_to(cr, 40.5, 18.5);
    cairo_line_to(cr, 38, 15);
    cairo_close_path(cr);
    // Terminals.
    cairo_new_sub_path(cr);
    cairo_arc(cr, 3.5, wire, 1.8, 0, 2 * kPi);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 120.5, wire, 1.8, 0, 2 * kPi);
    // Junctions.
    for (double x : {31.0, 38.0, 86.0}) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, x, wire, 1.2, 0, 2 * kPi);
    }
}

void drawCircuit(cairo_t* cr, double ox, double oy, double glow) {
    cairo_save(cr);
    cairo_translate(cr, ox, oy);
    cairo_rectangle(cr, 0, 0, kCircuitWidth, kCircuitShownHeight);
    cairo_clip(cr);

    cairo_pattern_t* board = cairo_pattern_create_linear(0, 0, 0, kCircuitShownHeight);
    addStop(board, 0.0, rgb(16, 12, 10));
    addStop(board, 1.0, rgb(24, 17, 12));
    setPattern(cr, board);
    cairo_paint(cr);

    // Warm light rising behind the glass, centred on the tube.
    if (glow > 0) {
        cairo_pattern_t* warm = cairo_pattern_create_radial(65, 13, 2, 65, 13, 70);
        addStop(warm, 0.0, rgb(190, 86, 24), 0.55 * glow);
        addStop(warm, 0.6, rgb(120, 48, 14), 0.25 * glow);
        addStop(warm, 1.0, rgb(80, 30, 10), 0.10 * glow);
        setPattern(cr, warm);
        cairo_paint(cr);
    }

    const Rgb cold = rgb(96, 66, 44);
    const Rgb hot = rgb(255, 178, 92);
    const Rgb trace = mix(cold, hot, glow);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

    // Bloom first, then the crisp traces.
    if (glow > 0) {
        cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
        for (double width : {5.0, 3.0}) {
            circuitTraces(cr);
            setSource(cr, rgb(255, 110, 30), 0.16 * glow);
            cairo_set_line_width(cr, width);
            cairo_stroke(cr);
        }
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }
    circuitTraces(cr);
    setSource(cr, trace);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    circuitParts(cr);
    cairo_fill(cr);

    // The triode's heater: the brightest thing in the window.
    cairo_move_to(cr, 62, 19.5);
    for (int i = 0; i < 4; ++i) cairo_line_to(cr, 63 + i * 2, i % 2 == 0 ? 18.2 : 19.8);
    setSource(cr, mix(rgb(110, 40, 20), rgb(255, 230, 160), glow));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    if (glow > 0) {
        cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
        cairo_pattern_t* heat = cairo_pattern_create_radial(65, 15, 0.5, 65, 15, 9);
        addStop(heat, 0.0, rgb(255, 160, 60), 0.65 * glow);
        addStop(heat, 1.0, rgb(255, 100, 20), 0.0);
        setPattern(cr, heat);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }

    // Smoked glass: a diagonal sheen and a dark inner edge.
    cairo_move_to(cr, 8, 0);
    cairo_line_to(cr, 30, 0);
    cairo_line_to(cr, 12, kCircuitShownHeight);
    cairo_line_to(cr, -10, kCircuitShownHeight);
    cairo_close_path(cr);
    setSource(cr, rgb(255, 240, 220), 0.05);
    cairo_fill(cr);
    cairo_rectangle(cr, 0.5, 0.5, kCircuitWidth - 1, kCircuitShownHeight - 1);
    setSource(cr, rgb(0, 0, 0), 0.6);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    cairo_restore(cr);
}

// ---------------------------------------------------------------------------
// Display window and logo

// Where the readout can light segments: shown faintly, like an unlit LCD.
// Whole device pixels where the editor lights a segment: from its origin's
// device pixel, its size scaled and rounded up.
void drawGhostSegments(cairo_t* cr, const Scale& scale) {
    cairo_identity_matrix(cr);
    setSource(cr, kLcdGhost);
    for (int n = 0; n < 3; ++n) {
        const int x0 = 377 + 12 * n;
        const panel::Rect segments[7] = {{x0 + 1, 95, 7, 1}, {x0 + 8, 88, 1, 7}, {x0 + 8, 80, 1, 7},
                                         {x0 + 1, 79, 7, 1}, {x0, 80, 1, 7},     {x0, 88, 1, 7},
                                         {x0 + 1, 87, 7, 1}};
        for (const panel::Rect& s : segments)
            cairo_rectangle(cr, scale.dev(s.x), scale.dev(s.y), (s.width * scale.halves + 1) / 2,
                            (s.height * scale.halves + 1) / 2);
    }
    cairo_fill(cr);
}

void drawDisplayWindow(cairo_t* cr, const Scale& scale) {
    const double x = kDisplayX;
    const double y = kDisplayY;
    const double w = kDisplayWidth;
    const double h = kDisplayHeight;
    snapTo(cr, scale, kDisplayX, kDisplayY);
    drawRecess(cr, x - 3, y - 3, w + 6, h + 6, 3);
    cairo_rectangle(cr, x, y, w, h);
    setSource(cr, kLcd);
    cairo_fill(cr);
    drawGhostSegments(cr, scale);
}

void drawLogo(cairo_t* cr, double cx, double cy, double r) {
    cairo_arc(cr, cx + r * 0.06, cy + r * 0.1, r + 0.6, 0, 2 * kPi);
    setSource(cr, rgb(0, 0, 0), 0.5);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_pattern_t* ring = cairo_pattern_create_linear(cx - r, cy - r, cx + r, cy + r);
    addStop(ring, 0.0, kCopperLight);
    addStop(ring, 0.5, kCopper);
    addStop(ring, 1.0, kCopperDark);
    setPattern(cr, ring);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, r * 0.84, 0, 2 * kPi);
    cairo_pattern_t* face = cairo_pattern_create_radial(cx - r * 0.3, cy - r * 0.4, 0, cx, cy, r);
    addStop(face, 0.0, rgb(52, 40, 32));
    addStop(face, 1.0, rgb(18, 14, 12));
    setPattern(cr, face);
    cairo_fill(cr);
    TextStyle style{r * 0.5, 0.0, 0.17};
    drawCopperText(cr, "ORv", cx, cy + style.capHeight / 2, style, Align::centre);
}

// ---------------------------------------------------------------------------
// Skin assembly

// The panel without anything that changes at run time: no knobs, lenses,
// tube or circuit. Cells are cut from this so that they blend into it.
void drawStaticPanel(Canvas& canvas, const Scale& scale) {
    paintMetal(canvas, 0, scale);
    cairo_t* cr = canvas.cr();
    placePanel(cr, scale);
    drawPanelEdge(cr, scale);
    drawScrew(cr, 8, 8, 0.5);
    drawScrew(cr, 8, kPanelHeight - 8, 1.1);
    drawScrew(cr, kPanelWidth - 8, kPanelHeight - 8, 0.2);
    drawScrew(cr, kPanelWidth - 7, 7, 0.9);

    // Ventilation slots over the knob row.
    for (int i = 0; i < 24; ++i) {
        const double x = 100.5 + i * 9.0;
        roundedRect(cr, x - 1.5, 8.0, 3.0, 13.0, 1.5);
        cairo_pattern_t* slot = cairo_pattern_create_linear(0, 8, 0, 21);
        addStop(slot, 0.0, rgb(4, 3, 3));
        addStop(slot, 1.0, rgb(22, 18, 16));
        setPattern(cr, slot);
        cairo_fill(cr);
        cairo_move_to(cr, x - 1.2, 21.5);
        cairo_line_to(cr, x + 1.2, 21.5);
        setSource(cr, rgb(150, 134, 118), 0.35);
        cairo_set_line_width(cr, 0.8);
        cairo_stroke(cr);
    }

    for (const panel::Control& control : panel::kControls) {
        const panel::Rect& area = control.area;
        if (control.kind != panel::ControlKind::kKnob) continue;
        snapTo(cr, scale, area.x, area.y);
        drawKnobSeat(cr, area.x + area.width / 2.0, area.y + area.height / 2.0, control.label);
    }

    snapTo(cr, scale, kClipLed.x, kClipLed.y);
    drawLedSocket(cr, kClipLed.x + 10, kClipLed.y + 10, "CLIP", kClipLed.y + 31);
    for (const panel::Control& control : panel::kControls) {
        const panel::Rect& area = control.area;
        if (control.kind != panel::ControlKind::kButton) continue;
        snapTo(cr, scale, area.x, area.y);
        drawLedSocket(cr, area.x + 10, area.y + 10, control.label, area.y + 31);
    }

    // Tube bay.
    snapTo(cr, scale, kTubeX, kTubeY);
    drawRecess(cr, kTubeX + 3, kTubeY - 3, kTubeWidth - 6, kTubeHeight + 1, 5);

    drawDisplayWindow(cr, scale);
    snapTo(cr, scale, kCircuitX, kCircuitY);
    drawRecess(cr, kCircuitX - 1, kCircuitY - 1, kCircuitWidth + 2, kCircuitShownHeight + 2, 2);

    placePanel(cr, scale);
    TextStyle title{17.0, 3.2, 0.19};
    drawCopperText(cr, "VARNOX", 396, 126, title, Align::centre);
    TextStyle subtitle{4.6, 2.4, 0.2};
    drawLabel(cr, "STEREO DRIVE", 396, 135.5, subtitle, Align::centre, rgb(200, 170, 130));

    constexpr panel::Rect logo = panel::kControls[6].area;
    static_assert(panel::kControls[6].kind == panel::ControlKind::kLogo);
    drawLogo(cr, logo.x + logo.width / 2.0, logo.y + 14, 11.5);
}

bool insideDisc(int x, int y, int size, double radius) {
    const double dx = x + 0.5 - size / 2.0;
    const double dy = y + 0.5 - size / 2.0;
    return dx * dx + dy * dy < radius * radius;
}

void drawDiscMask(Canvas& canvas, int left, int top, int size, double radius) {
    canvas.beginPixels();
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            canvas.setPixel(left + x, top + y, insideDisc(x, y, size, radius) ? kBlack : kWhite);
    canvas.endPixels();
}

// Blackens everything outside the disc so the OR pass leaves the seat alone.
void cutToDisc(Canvas& canvas, int left, int top, int size, double radius) {
    canvas.beginPixels();
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (!insideDisc(x, y, size, radius)) canvas.setPixel(left + x, top + y, kBlack);
    canvas.endPixels();
}

// ANDs the mask and ORs the picture, as the editor does.
void drawSprite(Canvas& target, int dx, int dy, const Canvas& sprites, Point mask, Point picture,
                int size) {
    sprites.beginPixels();
    target.beginPixels();
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const uint32_t under = target.pixel(dx + x, dy + y) & sprites.pixel(mask.x + x, mask.y + y);
            target.setPixel(dx + x, dy + y, under | sprites.pixel(picture.x + x, picture.y + y));
        }
    target.endPixels();
}

double knobCellAngle(int cell) { return (cell - 1) * kKnobDegreesPerCell; }

// Strip cells are drawn in strip units: cell k's picture is drawn as if its
// cell stood at k times the 1x size, placed on the device cell at k times the
// scaled size.
void buildKnobStrip(const Canvas& panel, Canvas& strip, const Scale& scale) {
    const int size = scale.cell(kKnobSize);
    const double radius = kKnobMaskRadius * scale.factor();
    const Point seat = scale.dev(topLeft(kSeat));
    drawDiscMask(strip, 0, 0, size, radius);
    for (int cell = 1; cell < kKnobCells; ++cell) {
        const int left = cell * size;
        strip.copyFrom(panel, seat.x, seat.y, size, size, left, 0);
        place(strip.cr(), scale, cell * kKnobSize, 0, left, 0);
        drawKnob(strip.cr(), cell * kKnobSize + kKnobSize / 2.0, kKnobSize / 2.0, knobCellAngle(cell));
        cutToDisc(strip, left, 0, size, radius);
    }
}

void buildTubeStrip(const Canvas& panel, Canvas& strip, const Scale& scale) {
    const int width = scale.cell(kTubeWidth);
    const Point bay = scale.dev(topLeft(panel::kTube));
    for (int cell = 0; cell < kTubeCells; ++cell) {
        const int left = cell * width;
        strip.copyFrom(panel, bay.x, bay.y, width, scale.cell(kTubeHeight), left, 0);
        place(strip.cr(), scale, cell * kTubeWidth, 0, left, 0);
        drawTube(strip.cr(), cell * kTubeWidth, 0, (cell + 1.0) / kTubeCells);
    }
}

double circuitCellGlow(int cell) { return std::max(0, cell - 1) / 13.0; }

void buildCircuitStrip(const Canvas& panel, Canvas& strip, const Scale& scale) {
    const int width = scale.cell(kCircuitWidth);
    const Point window = scale.dev(topLeft(panel::kCircuit));
    for (int cell = 0; cell < kCircuitCells; ++cell) {
        const int left = cell * width;
        strip.copyFrom(panel, window.x, window.y, width, scale.cell(kCircuitHeight), left, 0);
        place(strip.cr(), scale, cell * kCircuitWidth, 0, left, 0);
        drawCircuit(strip.cr(), cell * kCircuitWidth, 0, circuitCellGlow(cell));
    }
}

// Pixel-drawn unit glyphs in the segment colour, on the display background.
constexpr const char* kPercentPixels[] = {
    ".##....#",
    "#..#..#.",
    "#..#.#..",
    ".##.#...",
    "...#....",
    "..#.##..",
    ".#.#..#.",
    "#..#..#.",
    "....##..",
};

constexpr const char* kDecibelPixels[] = {
    "....#.####.",
    "....#.#...#",
    "....#.#...#",
    ".####.#...#",
    "#...#.####.",
    "#...#.#...#",
    "#...#.#...#",
    "#...#.#...#",
    ".####.####.",
};
constexpr int kUnitGlyphRows = 9;

// Bottom row lines up with the digits' bottom segment (y 95).
constexpr int kUnitGlyphFirstRow = 95 - panel::kUnitGlyph.y - kUnitGlyphRows + 1;

template <std::size_t Rows>
void drawPixelGlyph(Canvas& canvas, Point at, int column, const char* const (&rows)[Rows]) {
    static_assert(Rows == kUnitGlyphRows);
    canvas.beginPixels();
    for (std::size_t r = 0; r < Rows; ++r)
        for (int c = 0; rows[r][c] != '\0'; ++c)
            if (rows[r][c] == '#')
                canvas.setPixel(at.x + column + c, at.y + kUnitGlyphFirstRow + static_cast<int>(r),
                                kSegmentColour);
    canvas.endPixels();
}

// The same glyphs as strokes through the pixel art's pixel centres (grid
// units are panel units), for the larger scales.
void percentStrokes(cairo_t* cr) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, 2.0, 2.0, 1.5, 0, 2 * kPi);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 5.0, 7.0, 1.5, 0, 2 * kPi);
    cairo_move_to(cr, 7.5, 0.5);
    cairo_line_to(cr, 0.5, 7.5);
}

void decibelStrokes(cairo_t* cr) {
    cairo_move_to(cr, 4.5, 0.5);
    cairo_line_to(cr, 4.5, 8.5);
    cairo_move_to(cr, 4.5, 3.5);
    cairo_line_to(cr, 1.5, 3.5);
    cairo_arc_negative(cr, 1.5, 4.5, 1.0, radians(-90), radians(180));
    cairo_line_to(cr, 0.5, 7.5);
    cairo_arc_negative(cr, 1.5, 7.5, 1.0, radians(180), radians(90));
    cairo_line_to(cr, 4.5, 8.5);

    cairo_move_to(cr, 6.5, 8.5);
    cairo_line_to(cr, 6.5, 0.5);
    cairo_line_to(cr, 9.5, 0.5);
    cairo_arc(cr, 9.5, 1.5, 1.0, radians(-90), 0);
    cairo_arc(cr, 9.5, 3.5, 1.0, 0, radians(90));
    cairo_line_to(cr, 6.5, 4.5);
    cairo_move_to(cr, 9.5, 4.5);
    cairo_arc(cr, 9.5, 5.5, 1.0, radians(-90), 0);
    cairo_arc(cr, 9.5, 7.5, 1.0, 0, radians(90));
    cairo_line_to(cr, 6.5, 8.5);
}

// Strokes rendered finer, then set as whole pixels of the segment colour
// (half covered or more): the readout's segments are solid pixels too, and
// the glyph's background stays the display's own.
void drawStrokeGlyph(Canvas& canvas, Point at, int column, const Scale& scale, void (*strokes)(cairo_t*)) {
    const panel::Rect box = scale.dev(panel::kUnitGlyph);
    cairo_surface_t* coverage = cairo_image_surface_create(CAIRO_FORMAT_A8, box.width, box.height);
    cairo_t* cr = cairo_create(coverage);
    cairo_scale(cr, scale.factor(), scale.factor());
    cairo_translate(cr, column, kUnitGlyphFirstRow);
    strokes(cr);
    cairo_set_line_width(cr, 1.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
    cairo_destroy(cr);
    cairo_surface_flush(coverage);

    const unsigned char* data = cairo_image_surface_get_data(coverage);
    const int stride = cairo_image_surface_get_stride(coverage);
    canvas.beginPixels();
    for (int y = 0; y < box.height; ++y)
        for (int x = 0; x < box.width; ++x)
            if (data[y * stride + x] >= 128) canvas.setPixel(at.x + x, at.y + y, kSegmentColour);
    canvas.endPixels();
    cairo_surface_destroy(coverage);
}

void drawAboutPanel(Canvas& canvas, const Canvas& tubeStrip, const Scale& scale) {
    Canvas about(scale.dev(kPanelWidth), scale.dev(kPanelHeight));
    paintMetal(about, 0, scale);
    cairo_t* cr = about.cr();
    placePanel(cr, scale);
    drawPanelEdge(cr, scale);
    drawScrew(cr, 8, 8, 0.5);
    drawScrew(cr, 8, kPanelHeight - 8, 1.1);
    drawScrew(cr, kPanelWidth - 8, 8, 0.9);
    drawScrew(cr, kPanelWidth - 8, kPanelHeight - 8, 0.2);

    drawLogo(cr, 72, 70, 40);

    TextStyle name{30.0, 2.0, 0.12};
    drawCopperText(cr, "Varnox", 140, 58, name, Align::left);
    TextStyle line{8.0, 1.4, 0.15};
    drawLabel(cr, "ORv Varnox  stereo drive", 141, 80, line, Align::left);
    drawLabel(cr, "Version 1.0", 141, 98, line, Align::left, rgb(214, 178, 128));
    TextStyle small{6.5, 1.2, 0.16};
    drawLabel(cr, "Varnox audio team", 141, 122, small, Align::left, rgb(190, 176, 156));

    // A lit tube as the emblem of the sound, its bay drawn around the cell.
    const Point tube{413, 36};
    snapTo(cr, scale, tube.x, tube.y);
    drawRecess(cr, 416, 33, 42, 54, 5);
    const int tubeWidth = scale.cell(kTubeWidth);
    about.copyFrom(tubeStrip, (kTubeCells - 1) * tubeWidth, 0, tubeWidth, scale.cell(kTubeHeight), scale.dev(tube.x),
                   scale.dev(tube.y));

    canvas.copyFrom(about, 0, 0, about.width(), about.height(), 0, scale.dev(kAboutY));
}

struct Skin {
    explicit Skin(const Scale& scale)
        : panel(scale.dev(kPanelWidth), scale.dev(kPanelBitmapHeight)),
          knobs(scale.cell(kKnobSize) * kKnobCells, scale.cell(kKnobSize)),
          tube(scale.cell(kTubeWidth) * kTubeCells, scale.cell(kTubeHeight)),
          circuit(scale.cell(kCircuitWidth) * kCircuitCells, scale.cell(kCircuitHeight)) {}

    Canvas panel;
    Canvas knobs;
    Canvas tube;
    Canvas circuit;
};

void buildLedRows(const Canvas& staticPanel, Canvas& bitmap, const Scale& scale) {
    const int size = scale.cell(kLedSize);
    const double radius = kLedMaskRadius * scale.factor();
    const Point mask = scale.dev(kLedMask);
    const Point seat = scale.dev(kLedSeat);
    drawDiscMask(bitmap, mask.x, mask.y, size, radius);
    const struct {
        int y;
        const LedColour& colour;
    } rows[] = {{kRedRowY, kRedLed}, {kGreenRowY, kGreenLed}};
    for (const auto& row : rows) {
        const int top = scale.dev(row.y);
        for (int cell = 0; cell < kLedCells; ++cell) {
            const int left = cell * size;
            bitmap.copyFrom(staticPanel, seat.x, seat.y, size, size, left, top);
            place(bitmap.cr(), scale, cell * kLedSize, row.y, left, top);
            drawLens(bitmap.cr(), cell * kLedSize + kLedSize / 2.0, row.y + kLedSize / 2.0, row.colour,
                     (cell + 1.0) / kLedCells);
            cutToDisc(bitmap, left, top, size, radius);
        }
    }
}

void buildSkin(Skin& skin, const Scale& scale) {
    const int width = scale.dev(kPanelWidth);
    const int height = scale.dev(kPanelHeight);
    Canvas staticPanel(width, height);
    drawStaticPanel(staticPanel, scale);

    buildKnobStrip(staticPanel, skin.knobs, scale);
    buildTubeStrip(staticPanel, skin.tube, scale);
    buildCircuitStrip(staticPanel, skin.circuit, scale);

    Canvas& bitmap = skin.panel;
    cairo_t* cr = bitmap.cr();
    bitmap.fillRect(0, height, width, scale.dev(kAboutY) - height, toPixel(rgb(26, 22, 20)));
    bitmap.copyFrom(staticPanel, 0, 0, width, height, 0, 0);

    // What the panel shows before any control is drawn: unlit lenses, the
    // cold tube, the resting circuit and the knobs at their centre position.
    snapTo(cr, scale, kClipLed.x, kClipLed.y);
    drawLens(cr, kClipLed.x + kLedSize / 2.0, kClipLed.y + kLedSize / 2.0, kRedLed, 0.0);
    for (const panel::Control& control : panel::kControls) {
        if (control.kind != panel::ControlKind::kButton) continue;
        const panel::Rect& led = control.area;
        snapTo(cr, scale, led.x, led.y);
        drawLens(cr, led.x + kLedSize / 2.0, led.y + kLedSize / 2.0, kRedLed, 0.0);
    }
    snapTo(cr, scale, kTubeX, kTubeY);
    drawTube(cr, kTubeX, kTubeY, 0.0);
    const panel::Rect circuit = scale.dev(panel::kCircuit);
    bitmap.copyFrom(skin.circuit, scale.cell(kCircuitWidth), 0, circuit.width, circuit.height, circuit.x, circuit.y);

    buildLedRows(staticPanel, bitmap, scale);

    // The readout copies its segments out of this patch. At a scale their
    // lengths round up, so the patch runs on into the free area to its right;
    // below it the % glyph begins, so it stops there.
    const panel::Rect patch = scale.dev(panel::kSegmentColour);
    const int patchWidth =
        scale.halves == panel::kUnscaled ? patch.width : scale.dev(2 * panel::kSegmentColour.width);
    bitmap.fillRect(patch.x, patch.y, patchWidth, scale.dev(panel::kPercentGlyph.y) - patch.y, kSegmentColour);

    const panel::Rect unit = scale.dev(panel::kUnitGlyph);
    const Point percent = scale.dev(kPercentGlyph);
    const Point decibel = scale.dev(kDecibelGlyph);
    bitmap.copyFrom(staticPanel, unit.x, unit.y, unit.width, unit.height, percent.x, percent.y);
    bitmap.copyFrom(staticPanel, unit.x, unit.y, unit.width, unit.height, decibel.x, decibel.y);
    if (scale.halves == panel::kUnscaled) {
        drawPixelGlyph(bitmap, percent, 3, kPercentPixels);
        drawPixelGlyph(bitmap, decibel, 2, kDecibelPixels);
    } else {
        drawStrokeGlyph(bitmap, percent, 3, scale, percentStrokes);
        drawStrokeGlyph(bitmap, decibel, 2, scale, decibelStrokes);
    }

    const int knobSize = scale.cell(kKnobSize);
    for (int k = 0; k < panel::kKnobCount; ++k) {
        const Point at = scale.dev(topLeft(panel::kControls[k].area));
        drawSprite(bitmap, at.x, at.y, skin.knobs, {0, 0}, {41 * knobSize, 0}, knobSize);
    }

    drawAboutPanel(bitmap, skin.tube, scale);
}

bool writeSkin(const Scale& scale, const std::string& outDir) {
    Skin skin(scale);
    for (const Canvas* c : {&skin.panel, &skin.knobs, &skin.tube, &skin.circuit})
        if (!c->ok()) {
            std::fprintf(stderr, "generate_skin: cannot create a drawing surface\n");
            return false;
        }
    buildSkin(skin, scale);

    const struct {
        const char* name;
        const Canvas& canvas;
    } outputs[] = {{"panel", skin.panel}, {"knob", skin.knobs}, {"tube", skin.tube}, {"circuit", skin.circuit}};
    for (const auto& out : outputs) {
        const std::string path = outDir + "/" + out.name + scale.suffix() + ".bmp";
        if (!writeBmp(out.canvas, path)) {
            std::fprintf(stderr, "generate_skin: cannot write %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

int usage(const char* self) {
    std::fprintf(stderr, "usage: %s OUTDIR [--scale 1|1.5|2]\n", self);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* self = argc > 0 ? argv[0] : "generate_skin";
    std::string outDir;
    std::vector<Scale> scales;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--scale") {
            const std::string value = i + 1 < argc ? argv[++i] : "";
            const int halves = value == "1" ? 2 : value == "1.5" ? 3 : value == "2" ? 4 : 0;
            if (halves == 0) return usage(self);
            scales.push_back({halves});
        } else if (outDir.empty() && !arg.empty() && arg[0] != '-') {
            outDir = arg;
        } else {
            return usage(self);
        }
    }
    if (outDir.empty()) return usage(self);
    if (scales.empty())
        for (int halves : panel::kScaleHalves) scales.push_back({halves});

    for (const Scale& scale : scales)
        if (!writeSkin(scale, outDir)) return 1;
    return 0;
}
