// Where everything sits on the 500 x 140 panel and in the skin bitmaps. The
// editor's hit-testing and drawing and the artwork generator all read this
// one table, so moving a control is a one-line change.
#pragma once

#include <array>
#include <cstdint>

#include "core/parameters.h"

namespace panel {

constexpr int kWidth = 500;
constexpr int kHeight = 140;

struct Rect {
    int x, y, width, height;
};

/// A control takes hits on its picture plus one pixel to the right and
/// below: bounds inclusive, as the editor has always tested them.
constexpr bool hits(const Rect& area, int x, int y) {
    return x >= area.x && x <= area.x + area.width && y >= area.y && y <= area.y + area.height;
}

// Picture cells live in strips: cell k of a strip at x = k * cell width, at
// the strip's row. A sprite is AND-ed with its mask cell, then OR-ed with its
// picture cell.
struct Cells {
    int row;    // y of the strip in its bitmap
    int first;  // first and last cell the control shows
    int last;
};

enum class ControlKind { kKnob, kButton, kLogo };

struct Control {
    ControlKind kind;
    int32_t parameter;  // -1: none
    Rect area;          // the picture on the panel
    Cells cells;        // knobs: the knob strip; buttons: their LED row in the panel bitmap
    const char* label;  // printed on the panel
};

// LED rows of the panel bitmap: 18 cells of 20 x 20, brightness rising.
constexpr int kRedLedRow = 141;
constexpr int kGreenLedRow = 161;
constexpr Cells kRedLed{kRedLedRow, 0, 17};
constexpr Cells kGreenLed{kGreenLedRow, 0, 17};
// Knob strip: cell 0 is the mask; of the 80 turning cells, 6 (raw 0) to 77 (raw 128) show.
constexpr Cells kKnobTurn{0, 6, 77};

// Hit-test order: the first control that takes a point wins. The knobs come
// first, and a knob's place is its knob index, which is also the readout
// kind of its parameter.
constexpr int kKnobCount = 4;
constexpr std::array<Control, 7> kControls = {{
    {ControlKind::kKnob, kDrive, {279, 46, 48, 48}, kKnobTurn, "DRIVE"},
    {ControlKind::kKnob, kAttack, {146, 46, 48, 48}, kKnobTurn, "ATTACK"},
    {ControlKind::kKnob, kRelease, {209, 46, 48, 48}, kKnobTurn, "RELEASE"},
    {ControlKind::kKnob, kIngain, {77, 46, 48, 48}, kKnobTurn, "INPUT"},
    {ControlKind::kButton, kTimesTwo, {347, 18, 20, 20}, kGreenLed, "x2"},
    {ControlKind::kButton, kBoost, {48, 87, 20, 20}, kRedLed, "BOOST"},
    {ControlKind::kLogo, -1, {458, 0, 32, 27}, {0, 0, 0}, nullptr},
}};
static_assert(kControls[0].kind == ControlKind::kKnob && kControls[kKnobCount - 1].kind == ControlKind::kKnob &&
                  kControls[kKnobCount].kind != ControlKind::kKnob,
              "the knobs lead the table: their place is their knob index");
static_assert(readoutKindOf(kControls[0].parameter) == 0 && readoutKindOf(kControls[1].parameter) == 1 &&
                  readoutKindOf(kControls[2].parameter) == 2 && readoutKindOf(kControls[3].parameter) == 3,
              "a knob's index is the readout kind of its parameter");

// Other elements of the panel, shown but not operated.
constexpr Rect kLevelLed{44, 18, 20, 20};  // labelled Clip
constexpr Rect kTube{413, 8, 48, 53};
constexpr Rect kCircuit{165, 107, 124, 24};  // the top 24 of the strip's 25 rows show
constexpr Rect kDisplay{369, 78, 58, 20};    // the value readout's window
constexpr Rect kUnitGlyph{412, 84, 15, 13};
constexpr Rect kMinusBar{370, 87, 5, 1};

// Seven-segment readout: digit n's left edge at kFirstDigitX + n * kDigitPitch;
// a scan pen starts at kPenStart and stops at kPenStop, after three digits.
constexpr int kFirstDigitX = 377;
constexpr int kDigitPitch = 12;
constexpr int kPenStart = 375;
constexpr int kPenStop = 411;
constexpr int kDecimalPointY = 95;

// Skin bitmaps: resource ids and where their pictures lie.
constexpr int kPanelBitmapId = 106;  // 500 x 322: panel, LED rows, glyphs, about panel
constexpr int kKnobStripId = 107;    // 81 cells of 48 x 48
constexpr int kTubeStripId = 108;    // 20 cells of 48 x 53; cells 0..18 show
constexpr int kCircuitStripId = 109;  // 15 cells of 124 x 25; cells 1..14 show
constexpr int kPanelBitmapHeight = 322;
constexpr int kKnobCells = 81;
constexpr int kTubeCells = 20;
constexpr int kCircuitCells = 15;
constexpr int kCircuitCellHeight = 25;
constexpr int kLedSize = 20;
constexpr int kLedCells = 18;
constexpr Rect kLedMask{360, 141, 20, 20};
constexpr Rect kSegmentColour{360, 161, 7, 7};
constexpr Rect kPercentGlyph{360, 168, 15, 13};
constexpr Rect kDecibelGlyph{375, 168, 15, 13};
constexpr int kAboutPanelY = 182;

// ---------------------------------------------------------------------------
// Drawing at a scale. The artwork exists at 1x, 1.5x and 2x, counted in
// halves so that every size stays an integer. Panel coordinates stay the
// language of the layout: a panel point x lies at device pixel
// floor(x * halves / 2), and an area covers the pixels from its left edge's
// to its right edge's, so areas that abut on the panel abut at every scale.
// The artwork snaps each control to these pixels, which keeps a sprite's
// cell and its seat in register.

constexpr int kScaleHalves[] = {2, 3, 4};
constexpr int kUnscaled = 2;

constexpr bool isDrawnScale(int halves) { return halves == 2 || halves == 3 || halves == 4; }

/// Device pixel of panel coordinate `v` (floor, also for negative `v`).
constexpr int toDevice(int v, int halves) {
    const int scaled = v * halves;
    return scaled >= 0 ? scaled / 2 : -((1 - scaled) / 2);
}

/// Panel coordinate of device pixel `v`: the unit u whose pixels, from
/// toDevice(u) up to toDevice(u + 1), hold it; so a control's first pixel
/// hit-tests as the control, as it is drawn.
constexpr int toPanel(int v, int halves) {
    const int numerator = 2 * v + 1;
    return numerator >= 0 ? numerator / halves : -((halves - 1 - numerator) / halves);
}

constexpr Rect toDevice(const Rect& area, int halves) {
    const int x = toDevice(area.x, halves);
    const int y = toDevice(area.y, halves);
    return {x, y, toDevice(area.x + area.width, halves) - x, toDevice(area.y + area.height, halves) - y};
}

/// A strip cell's size at a scale; cell k lies at k times this.
constexpr int cellSize(int size, int halves) { return toDevice(size, halves); }

/// The resource id of a skin bitmap drawn at `halves`: 106 to 109 at 1x,
/// 156 to 159 at 1.5x, 206 to 209 at 2x.
constexpr int bitmapId(int unscaledId, int halves) { return unscaledId + (halves - kUnscaled) * 50; }

static_assert(toDevice(77, 3) == 115 && toDevice(-1, 3) == -2 && toDevice(-1, 4) == -2);
static_assert(toPanel(114, 3) == 76 && toPanel(115, 3) == 77 && toPanel(116, 3) == 77 && toPanel(-1, 3) == -1 &&
              toPanel(-2, 4) == -1 && toPanel(559, 4) == 279 && toPanel(560, 4) == 280 && toPanel(-1, 2) == -1);
static_assert(toDevice(kControls[3].area, 3).width == cellSize(48, 3), "a knob covers one strip cell at 1.5x");
static_assert(toDevice(kTube, 3).height == cellSize(kTube.height, 3));

}  // namespace panel
