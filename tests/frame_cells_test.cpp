// The editor's per-frame animation and cell choice, without a window: the
// display state an effect publishes, advanced one frame at a time.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "editor/frame_cells.h"
#include "engine/shaper_effect.h"

namespace {

// An effect with no host and no editor: only its display state and raw values matter here.
struct Frames : testing::Test {
    ShaperEffect effect{nullptr};
    DisplayState& display = effect.display;

    void setRaw(int32_t index, float raw) {
        effect.storeRaw(index, raw);
        effect.updateReadout(kReadoutNone, 0);
    }
    FrameCells advance(int frames) {
        FrameCells cells;
        for (int i = 0; i < frames; ++i) cells = advanceFrame(effect);
        return cells;
    }
};

TEST_F(Frames, KnobCellsSpanSixToSeventySeven) {
    const struct {
        float raw;
        int cell;
    } cases[] = {{0, 6}, {1, 6}, {2, 7}, {64, 41}, {127, 76}, {128, 77}, {-5, 6}, {500, 77}};
    for (const auto& c : cases) EXPECT_EQ(knobCell(c.raw), c.cell) << c.raw;
    EXPECT_EQ(knobCell(std::numeric_limits<float>::quiet_NaN()), 6);

    setRaw(kIngain, 0);
    setRaw(kDrive, 128);
    const FrameCells cells = advanceFrame(effect);
    for (int k = 0; k < panel::kKnobCount; ++k) {
        EXPECT_EQ(cells.knob[k], knobCell(effect.rawValue[panel::kControls[k].parameter])) << k;
    }
}

TEST_F(Frames, LevelLedFromTheLouderChannel) {
    const struct {
        float left, right;
        int steps;
        int row;
    } cases[] = {
        {0.5f, 0.5f, 18, panel::kGreenLedRow},  {0.7f, 0.0f, 18, panel::kGreenLedRow},
        {0.0f, 0.85f, 8, panel::kGreenLedRow},  {0.99f, 0.2f, 0, panel::kGreenLedRow},
        {1.0f, 1.0f, 0, panel::kRedLedRow},     {1.15f, 0.0f, 8, panel::kRedLedRow},
        {2.0f, 0.0f, 17, panel::kRedLedRow},  // capped to 1.3: the red LED never shows its last cell
    };
    for (const auto& c : cases) {
        display.peakLeft = c.left;
        display.peakRight = c.right;
        const FrameCells cells = advanceFrame(effect);
        EXPECT_EQ(cells.levelLed, c.steps) << c.left << "/" << c.right;
        EXPECT_EQ(cells.levelRow, c.row) << c.left << "/" << c.right;
    }
}

TEST_F(Frames, MetersFallAndNeverGoBelowZero) {
    display.peakLeft = 5.0f;  // capped to 1.3 first
    display.peakRight = std::numeric_limits<float>::quiet_NaN();
    display.clipLevel = 1.0f;
    advance(1);
    EXPECT_FLOAT_EQ(display.peakLeft, 1.25f);
    EXPECT_EQ(display.peakRight, 0.0f) << "a NaN settles at 0";
    EXPECT_FLOAT_EQ(display.clipLevel, 0.95f);
    advance(24);
    EXPECT_GT(display.peakLeft, 0.0f);
    advance(1);
    EXPECT_LT(display.peakLeft, 1e-6f) << "26 frames from 1.3, up to float rounding";
    advance(1);
    EXPECT_EQ(display.peakLeft, 0.0f);
    EXPECT_EQ(display.clipLevel, 0.0f);
}

TEST_F(Frames, TubeGlowsTowardTheDrive) {
    setRaw(kDrive, 128);
    setRaw(kTimesTwo, 1);
    EXPECT_EQ(advance(16).tube, 18) << "0.96 of the way: tube cell 17";
    EXPECT_EQ(advance(1).tube, 19) << "tube cell 18 after 17 frames";
    EXPECT_EQ(display.tubeGlow, 1.0f);

    setRaw(kTimesTwo, 0);
    EXPECT_EQ(advance(10).tube, 13) << "settles at trunc(0.7 x 19) = 13, tube cell 12";
    EXPECT_EQ(display.tubeGlow, 0.7f);

    setRaw(kDrive, 0);
    EXPECT_EQ(advance(12).tube, 0) << "cold: the empty socket";
}

TEST_F(Frames, ButtonLedsFadeOverTwentyFrames) {
    setRaw(kTimesTwo, 1);
    setRaw(kBoost, 1);
    const FrameCells first = advanceFrame(effect);
    EXPECT_EQ(first.timesTwoLed, 0) << "the cell shows the fade before this frame moves it";
    EXPECT_EQ(first.circuit, 1);
    advance(19);
    EXPECT_EQ(display.x2Fade, 1.0f);
    const FrameCells lit = advanceFrame(effect);
    EXPECT_EQ(lit.timesTwoLed, 18);
    EXPECT_EQ(lit.boostLed, 18);
    EXPECT_EQ(lit.circuit, 14);

    setRaw(kBoost, 0);
    advance(20);
    EXPECT_EQ(display.boostFade, 0.0f);
    EXPECT_EQ(display.x2Fade, 1.0f) << "one switch's fade does not move the other";
    EXPECT_EQ(advanceFrame(effect).circuit, 1);
}

}  // namespace
