// SkinEditor drawing: every frame is copied together out of the four skin
// bitmaps in the back buffer, then shown with one copy to the window.
#include "core/effect_core.h"
#include "editor/frame_cells.h"
#include "editor/skin_editor.h"
#include "host/effect_base.h"

namespace {

using panel::Rect;

// Seven-segment layout: rectangles relative to the digit's left edge x0.
struct Segment {
    int dx, y, width, height;
};
constexpr Segment kSegments[7] = {
    {1, 95, 7, 1},  // bottom
    {8, 88, 1, 7},  // lower right
    {8, 80, 1, 7},  // upper right
    {1, 79, 7, 1},  // top
    {0, 80, 1, 7},  // upper left
    {0, 88, 1, 7},  // lower left
    {1, 87, 7, 1},  // middle
};
// Bit s set: segment s lit.
constexpr unsigned char kDigitSegments[10] = {
    0b0111111,  // 0
    0b0000110,  // 1
    0b1101101,  // 2
    0b1001111,  // 3
    0b1010110,  // 4
    0b1011011,  // 5
    0b1111011,  // 6
    0b0001110,  // 7
    0b1111111,  // 8
    0b1011111,  // 9
};

}  // namespace

void SkinEditor::loadSkin() {
    const auto load = [](int id) {
        return static_cast<HBITMAP>(
            LoadImageA(static_cast<HINSTANCE>(moduleInstance), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0));
    };
    panelBitmap = load(panel::kPanelBitmapId);
    knobStrip = load(panel::kKnobStripId);
    tubeStrip = load(panel::kTubeStripId);
    circuitStrip = load(panel::kCircuitStripId);
}

void SkinEditor::drawFrame(int8_t mode) {
    HDC dc = isOpen == 1 ? GetDC(window) : nullptr;
    if (!dc) {
        redrawMode = 0;
        return;
    }
    if (mode == 1) BitBlt(backDc, 0, 0, kWidth, kHeight, panelDc, 0, 0, SRCCOPY);

    if (dragMode == kDragAbout) {
        if (mode == 2) BitBlt(backDc, 0, 0, kWidth, kHeight, panelDc, 0, panel::kAboutPanelY, SRCCOPY);
    } else {
        drawControls(advanceFrame(shaper));
        drawReadout();
    }

    BitBlt(dc, 0, 0, kWidth, kHeight, backDc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    redrawMode = 0;
}

void SkinEditor::drawControls(const FrameCells& cells) {
    // Copies an area of the panel from `source` at (sourceX, sourceY).
    const auto copy = [this](const Rect& area, HDC source, int sourceX, int sourceY) {
        BitBlt(backDc, area.x, area.y, area.width, area.height, source, sourceX, sourceY, SRCCOPY);
    };
    // Masked sprite: the mask blackens the disc, the picture (black outside
    // the disc) is then OR-ed in. The seat is not restored first.
    const auto sprite = [this](const Rect& area, HDC source, int maskX, int maskY, int pictureX, int pictureY) {
        BitBlt(backDc, area.x, area.y, area.width, area.height, source, maskX, maskY, SRCAND);
        BitBlt(backDc, area.x, area.y, area.width, area.height, source, pictureX, pictureY, SRCPAINT);
    };
    // An LED at `steps` of brightness from `row`, or its empty socket.
    const auto led = [&](const Rect& area, int steps, int row) {
        if (steps > 0) {
            sprite(area, panelDc, panel::kLedMask.x, panel::kLedMask.y, panel::kLedSize * (steps - 1), row);
        } else {
            copy(area, panelDc, area.x, area.y);
        }
    };

    for (int k = 0; k < panel::kKnobCount; ++k) {
        const Rect& area = panel::kControls[k].area;
        sprite(area, knobDc, 0, 0, area.width * cells.knob[k], 0);
    }
    led(panel::kLevelLed, cells.levelLed, cells.levelRow);

    const Rect& tube = panel::kTube;
    if (cells.tube > 0) {
        copy(tube, tubeDc, tube.width * (cells.tube - 1), 0);
    } else {
        copy(tube, panelDc, tube.x, tube.y);
    }
    copy(panel::kCircuit, circuitDc, panel::kCircuit.width * cells.circuit, 0);

    for (int c = panel::kKnobCount; c < static_cast<int>(panel::kControls.size()); ++c) {
        const panel::Control& control = panel::kControls[c];
        if (control.kind != panel::ControlKind::kButton) continue;
        led(control.area, control.parameter == kTimesTwo ? cells.timesTwoLed : cells.boostLed, control.cells.row);
    }
}

void SkinEditor::drawReadout() {
    const DisplayState& display = shaper.display;
    const Rect& window = panel::kDisplay;
    BitBlt(backDc, window.x, window.y, window.width, window.height, panelDc, window.x, window.y, SRCCOPY);
    if (display.readoutText.empty()) return;

    const Rect& glyph = display.readoutKind == kReadoutIngain ? panel::kDecibelGlyph : panel::kPercentGlyph;
    const Rect& unit = panel::kUnitGlyph;
    BitBlt(backDc, unit.x, unit.y, unit.width, unit.height, panelDc, glyph.x, glyph.y, SRCCOPY);

    const Rect& segment = panel::kSegmentColour;
    std::size_t i = 0;
    if (display.readoutText[0] == '-') {
        const Rect& bar = panel::kMinusBar;
        BitBlt(backDc, bar.x, bar.y, bar.width, bar.height, panelDc, segment.x, segment.y, SRCCOPY);
        i = 1;
    }
    // The pen moves only on digits; a point goes in the gap before the next one.
    int pen = panel::kPenStart;
    int n = 0;
    for (; i <= ReadoutText::kCapacity; ++i) {
        const char c = display.readoutText[i];
        if (c == '.') {
            BitBlt(backDc, pen, panel::kDecimalPointY, 1, 2, panelDc, segment.x, segment.y, SRCCOPY);
        } else if (c >= '0' && c <= '9') {
            drawDigit(c, n);
            ++n;
            pen += panel::kDigitPitch;
        }
        if (pen >= panel::kPenStop || c == '\0') break;
    }
}

void SkinEditor::drawDigit(char c, int n) {
    if (c < '0' || c > '9' || n < 0 || n > 2) return;
    const int x0 = panel::kFirstDigitX + panel::kDigitPitch * n;
    const unsigned lit = kDigitSegments[c - '0'];
    const Rect& colour = panel::kSegmentColour;
    for (int s = 0; s < 7; ++s) {
        if (lit & (1u << s)) {
            const Segment& segment = kSegments[s];
            BitBlt(backDc, x0 + segment.dx, segment.y, segment.width, segment.height, panelDc, colour.x, colour.y,
                   SRCCOPY);
        }
    }
}
