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

void SkinEditor::drawFrame(int8_t mode) {
    HDC dc = isOpen == 1 ? GetDC(window) : nullptr;
    if (!dc) {
        redrawMode = 0;
        return;
    }
    const Skin& art = skin();
    const int width = deviceWidth();
    const int height = deviceHeight();
    if (mode == 1) BitBlt(backDc, 0, 0, width, height, art.panelDc, 0, 0, SRCCOPY);

    if (dragMode == kDragAbout) {
        if (mode == 2)
            BitBlt(backDc, 0, 0, width, height, art.panelDc, 0, panel::toDevice(panel::kAboutPanelY, scaleHalves),
                   SRCCOPY);
    } else {
        drawControls(advanceFrame(shaper));
        drawReadout();
    }

    BitBlt(dc, 0, 0, width, height, backDc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    redrawMode = 0;
}

void SkinEditor::drawControls(const FrameCells& cells) {
    const Skin& art = skin();
    const int halves = scaleHalves;
    const auto device = [halves](int v) { return panel::toDevice(v, halves); };
    // Copies an area of the panel from `source` at device pixel (sourceX, sourceY).
    const auto copy = [&](const Rect& area, HDC source, int sourceX, int sourceY) {
        const Rect d = panel::toDevice(area, halves);
        BitBlt(backDc, d.x, d.y, d.width, d.height, source, sourceX, sourceY, SRCCOPY);
    };
    // Masked sprite: the mask blackens the disc, the picture (black outside
    // the disc) is then OR-ed in. The seat is not restored first.
    const auto sprite = [&](const Rect& area, HDC source, int maskX, int maskY, int pictureX, int pictureY) {
        const Rect d = panel::toDevice(area, halves);
        BitBlt(backDc, d.x, d.y, d.width, d.height, source, maskX, maskY, SRCAND);
        BitBlt(backDc, d.x, d.y, d.width, d.height, source, pictureX, pictureY, SRCPAINT);
    };
    // An LED at `steps` of brightness from `row`, or its empty socket.
    const int ledCell = panel::cellSize(panel::kLedSize, halves);
    const auto led = [&](const Rect& area, int steps, int row) {
        if (steps > 0) {
            sprite(area, art.panelDc, device(panel::kLedMask.x), device(panel::kLedMask.y), ledCell * (steps - 1),
                   device(row));
        } else {
            copy(area, art.panelDc, device(area.x), device(area.y));
        }
    };

    for (int k = 0; k < panel::kKnobCount; ++k) {
        const Rect& area = panel::kControls[k].area;
        sprite(area, art.knobDc, 0, 0, panel::cellSize(area.width, halves) * cells.knob[k], 0);
    }
    led(panel::kLevelLed, cells.levelLed, cells.levelRow);

    const Rect& tube = panel::kTube;
    if (cells.tube > 0) {
        copy(tube, art.tubeDc, panel::cellSize(tube.width, halves) * (cells.tube - 1), 0);
    } else {
        copy(tube, art.panelDc, device(tube.x), device(tube.y));
    }
    copy(panel::kCircuit, art.circuitDc, panel::cellSize(panel::kCircuit.width, halves) * cells.circuit, 0);

    for (int c = panel::kKnobCount; c < static_cast<int>(panel::kControls.size()); ++c) {
        const panel::Control& control = panel::kControls[c];
        if (control.kind != panel::ControlKind::kButton) continue;
        led(control.area, control.parameter == kTimesTwo ? cells.timesTwoLed : cells.boostLed, control.cells.row);
    }
}

void SkinEditor::fillSegment(int x, int y, int width, int height) {
    // Every stroke keeps one thickness at a scale, wherever it falls on the
    // pixel grid: the size rounds up from the origin's pixel.
    const int halves = scaleHalves;
    const Rect& colour = panel::kSegmentColour;
    BitBlt(backDc, panel::toDevice(x, halves), panel::toDevice(y, halves), (width * halves + 1) / 2,
           (height * halves + 1) / 2, skin().panelDc, panel::toDevice(colour.x, halves),
           panel::toDevice(colour.y, halves), SRCCOPY);
}

void SkinEditor::drawReadout() {
    const DisplayState& display = shaper.display;
    const Skin& art = skin();
    const int halves = scaleHalves;
    const Rect window = panel::toDevice(panel::kDisplay, halves);
    BitBlt(backDc, window.x, window.y, window.width, window.height, art.panelDc, window.x, window.y, SRCCOPY);
    if (display.readoutText.empty()) return;

    const Rect& glyph = display.readoutKind == kReadoutIngain ? panel::kDecibelGlyph : panel::kPercentGlyph;
    const Rect unit = panel::toDevice(panel::kUnitGlyph, halves);
    BitBlt(backDc, unit.x, unit.y, unit.width, unit.height, art.panelDc, panel::toDevice(glyph.x, halves),
           panel::toDevice(glyph.y, halves), SRCCOPY);

    std::size_t i = 0;
    if (display.readoutText[0] == '-') {
        const Rect& bar = panel::kMinusBar;
        fillSegment(bar.x, bar.y, bar.width, bar.height);
        i = 1;
    }
    // The pen moves only on digits; a point goes in the gap before the next one.
    int pen = panel::kPenStart;
    int n = 0;
    for (; i <= ReadoutText::kCapacity; ++i) {
        const char c = display.readoutText[i];
        if (c == '.') {
            fillSegment(pen, panel::kDecimalPointY, 1, 2);
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
    for (int s = 0; s < 7; ++s) {
        if (lit & (1u << s)) {
            const Segment& segment = kSegments[s];
            fillSegment(x0 + segment.dx, segment.y, segment.width, segment.height);
        }
    }
}
