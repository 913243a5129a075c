// SkinEditor drawing: every frame is copied together out of the four skin
// bitmaps in the back buffer, then shown with one copy to the window.
#include <algorithm>
#include <cmath>

#include "editor/skin_editor.h"
#include "engine/shaper_effect.h"

namespace {

// Skin geometry: where things sit on the panel and in the bitmaps.
constexpr int kPanelId = 106;
constexpr int kKnobId = 107;
constexpr int kTubeId = 108;
constexpr int kCircuitId = 109;

constexpr int kAboutY = 182;
constexpr int kRedRowY = 141;
constexpr int kGreenRowY = 161;
constexpr int kLedMaskX = 360, kLedMaskY = 141;
constexpr int kLedSize = 20;
constexpr int kSegmentX = 360, kSegmentY = 161;
constexpr int kPercentGlyphX = 360, kDecibelGlyphX = 375, kGlyphY = 168;

constexpr int kKnobX[4] = {77, 146, 209, 279};  // parameters 0..3
constexpr int kKnobY = 46;
constexpr int kKnobSize = 48;
constexpr int kLevelX = 44, kLevelY = 18;
constexpr int kTimesTwoX = 347, kTimesTwoY = 18;
constexpr int kBoostX = 48, kBoostY = 87;
constexpr int kTubeX = 413, kTubeY = 8, kTubeWidth = 48, kTubeHeight = 53;
constexpr int kCircuitX = 165, kCircuitY = 107, kCircuitWidth = 124, kCircuitHeight = 24;

constexpr int kDisplayX = 369, kDisplayY = 78, kDisplayWidth = 58, kDisplayHeight = 20;
constexpr int kGlyphDestX = 412, kGlyphDestY = 84, kGlyphWidth = 15, kGlyphHeight = 13;
constexpr int kPenStart = 375, kPenStop = 411, kDigitPitch = 12;

// Animation constants, as 32-bit floats.
constexpr float kPeakCap = 1.3f;
constexpr float kGreenEnd = 0.7f;
constexpr float kFadeSpan = 3.3333333f;  // 1 / 0.3
constexpr float kDecay = 0.05f;
constexpr float kFadeStep = 0.05f;
constexpr float kGlowStep = 0.06f;

// Cell indices come from display values that another thread or a host value
// outside 0..1 can push anywhere (even to NaN); truncate toward zero, then
// keep the cell inside its strip.
int cellIndex(float value, int lowest, int highest) {
    if (std::isnan(value)) return lowest;
    const float truncated = std::trunc(value);
    if (truncated <= static_cast<float>(lowest)) return lowest;
    if (truncated >= static_cast<float>(highest)) return highest;
    return static_cast<int>(truncated);
}

// Lowers a display value, not below 0 (a NaN from upstream settles at 0 too).
float decayed(float value, float step) {
    const float next = value - step;
    return next >= 0.0f ? next : 0.0f;
}

float fadedToward(float fade, float raw) {
    if (std::trunc(raw) == 0.0f) return decayed(fade, kFadeStep);
    const float next = fade + kFadeStep;
    return next <= 1.0f ? next : 1.0f;
}

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
    panelBitmap = load(kPanelId);
    knobStrip = load(kKnobId);
    tubeStrip = load(kTubeId);
    circuitStrip = load(kCircuitId);
}

void SkinEditor::drawFrame(int8_t mode) {
    HDC dc = isOpen == 1 ? GetDC(window) : nullptr;
    if (!dc) {
        redrawMode = 0;
        return;
    }
    const auto copy = [this](int x, int y, int width, int height, HDC source, int sourceX, int sourceY) {
        BitBlt(backDc, x, y, width, height, source, sourceX, sourceY, SRCCOPY);
    };
    // Masked sprite: the mask blackens the disc, the picture (black outside
    // the disc) is then OR-ed in.
    const auto sprite = [this](int x, int y, int size, HDC source, int maskX, int maskY, int pictureX, int pictureY) {
        BitBlt(backDc, x, y, size, size, source, maskX, maskY, SRCAND);
        BitBlt(backDc, x, y, size, size, source, pictureX, pictureY, SRCPAINT);
    };

    if (mode == 1) copy(0, 0, kWidth, kHeight, panelDc, 0, 0);

    if (dragMode == kDragAbout) {
        if (mode == 2) copy(0, 0, kWidth, kHeight, panelDc, 0, kAboutY);
    } else {
        // Knobs: cells 6..77 of the strip over 0..128; cell 0 is the mask.
        for (int p = 0; p < 4; ++p) {
            const int f = cellIndex(shaper.rawValue[p] * 0.0078125f * 71.0f + 5.0f, 5, 76);
            BitBlt(backDc, kKnobX[p], kKnobY, kKnobSize, kKnobSize, knobDc, 0, 0, SRCAND);
            BitBlt(backDc, kKnobX[p], kKnobY, kKnobSize, kKnobSize, knobDc, kKnobSize * f + kKnobSize, 0, SRCPAINT);
        }

        // Level LED: fully green up to 0.7, fading out towards 1.0, red above.
        float left = shaper.peakLeft;
        float right = shaper.peakRight;
        if (left > kPeakCap) shaper.peakLeft = left = kPeakCap;
        if (right > kPeakCap) shaper.peakRight = right = kPeakCap;
        const float level = std::max(left, right);
        float brightness;
        int row;
        if (level < kGreenEnd) {
            brightness = 1.0f;
            row = kGreenRowY;
        } else if (level < 1.0f) {
            brightness = 1.0f - (level - kGreenEnd) * kFadeSpan;
            row = kGreenRowY;
        } else {
            brightness = std::min((level - 1.0f) * kFadeSpan, 1.0f);
            row = kRedRowY;
        }
        int f = cellIndex(brightness * 18.0f, 0, 18);
        if (f > 0) {
            sprite(kLevelX, kLevelY, kLedSize, panelDc, kLedMaskX, kLedMaskY, kLedSize * f - kLedSize, row);
        } else {
            copy(kLevelX, kLevelY, kLedSize, kLedSize, panelDc, kLevelX, kLevelY);
        }

        shaper.clipLevel = decayed(shaper.clipLevel, kDecay);
        shaper.peakLeft = decayed(shaper.peakLeft, kDecay);
        shaper.peakRight = decayed(shaper.peakRight, kDecay);

        // Tube: glows toward the drive, fully only with a second stage.
        const float share = (std::trunc(shaper.rawValue[kTimesTwo]) == 1.0f ? 0.3f : 0.0f) + 0.7f;
        const float target = shaper.driveAmount * share;
        float glow = shaper.tubeGlow;
        if (glow < target) {
            glow += kGlowStep;
            if (glow > target) glow = target;
        }
        if (glow > target) {
            glow -= kGlowStep;
            if (glow < target) glow = target;
        }
        shaper.tubeGlow = glow;
        f = cellIndex(glow * 19.0f, 0, 19);
        if (f > 0) {
            copy(kTubeX, kTubeY, kTubeWidth, kTubeHeight, tubeDc, kTubeWidth * f - kTubeWidth, 0);
        } else {
            copy(kTubeX, kTubeY, kTubeWidth, kTubeHeight, panelDc, kTubeX, kTubeY);
        }

        // Circuit window: warms with the square of the Boost fade.
        const float boost = shaper.boostFade;
        const int cell = cellIndex(boost * boost * 13.0f, 0, 13) + 1;
        copy(kCircuitX, kCircuitY, kCircuitWidth, kCircuitHeight, circuitDc, kCircuitWidth * cell, 0);

        f = cellIndex(shaper.x2Fade * 18.0f, 0, 18);
        if (f > 0) {
            sprite(kTimesTwoX, kTimesTwoY, kLedSize, panelDc, kLedMaskX, kLedMaskY, kLedSize * f - kLedSize,
                   kGreenRowY);
        } else {
            copy(kTimesTwoX, kTimesTwoY, kLedSize, kLedSize, panelDc, kTimesTwoX, kTimesTwoY);
        }
        shaper.x2Fade = fadedToward(shaper.x2Fade, shaper.rawValue[kTimesTwo]);

        f = cellIndex(boost * 18.0f, 0, 18);
        if (f > 0) {
            sprite(kBoostX, kBoostY, kLedSize, panelDc, kLedMaskX, kLedMaskY, kLedSize * f - kLedSize, kRedRowY);
        } else {
            copy(kBoostX, kBoostY, kLedSize, kLedSize, panelDc, kBoostX, kBoostY);
        }
        shaper.boostFade = fadedToward(boost, shaper.rawValue[kBoost]);

        drawReadout();
    }

    BitBlt(dc, 0, 0, kWidth, kHeight, backDc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    redrawMode = 0;
}

void SkinEditor::drawReadout() {
    BitBlt(backDc, kDisplayX, kDisplayY, kDisplayWidth, kDisplayHeight, panelDc, kDisplayX, kDisplayY, SRCCOPY);
    if (readoutText.empty()) return;

    const int glyphX = readoutKind == kReadoutIngain ? kDecibelGlyphX : kPercentGlyphX;
    BitBlt(backDc, kGlyphDestX, kGlyphDestY, kGlyphWidth, kGlyphHeight, panelDc, glyphX, kGlyphY, SRCCOPY);

    std::size_t i = 0;
    if (readoutText[0] == '-') {
        BitBlt(backDc, 370, 87, 5, 1, panelDc, kSegmentX, kSegmentY, SRCCOPY);  // minus bar
        i = 1;
    }
    // The pen moves only on digits; a point goes in the gap before the next one.
    int pen = kPenStart;
    int n = 0;
    for (; i <= ReadoutText::kCapacity; ++i) {
        const char c = readoutText[i];
        if (c == '.') {
            BitBlt(backDc, pen, 95, 1, 2, panelDc, kSegmentX, kSegmentY, SRCCOPY);
        } else if (c >= '0' && c <= '9') {
            drawDigit(c, n);
            ++n;
            pen += kDigitPitch;
        }
        if (pen >= kPenStop || c == '\0') break;
    }
}

void SkinEditor::drawDigit(char c, int n) {
    if (c < '0' || c > '9' || n < 0 || n > 2) return;
    const int x0 = 377 + kDigitPitch * n;
    const unsigned lit = kDigitSegments[c - '0'];
    for (int s = 0; s < 7; ++s) {
        if (lit & (1u << s)) {
            const Segment& segment = kSegments[s];
            BitBlt(backDc, x0 + segment.dx, segment.y, segment.width, segment.height, panelDc, kSegmentX, kSegmentY,
                   SRCCOPY);
        }
    }
}
