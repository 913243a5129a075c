// Skin drawing, read back pixel for pixel from the window: each expected
// frame or area is composed here from the skin bitmaps and hand-picked cells.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "tests/support/editor_fixture.h"

namespace {

using skinart::crop;
using skinart::Frame;
using skinart::skin;

class EditorDraw : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        open();
        tick();
    }
    void TearDown() override {
        close();
        EditorFixture::TearDown();
    }
    softwin::Image tubeCell(int cell) const { return crop(skin().tube, 48 * cell, 0, 48, 53); }
    softwin::Image led(int x, int y) const { return region(x, y, 20, 20); }
    static softwin::Image expectedLed(int x, int y, int row, int cell) {
        Frame f;
        if (cell < 0) {
            f.socket(x, y);
        } else {
            f.led(x, y, row, cell);
        }
        return crop(f.pixels, x, y, 20, 20);
    }
    // Shows `text` as the readout for one tick, as a held host readout does.
    void showReadout(const char* text, int32_t kind) {
        effect().display.readoutText.assign(text);
        effect().display.readoutKind = kind;
        effect().display.readoutHold = 1;
        tick();
    }
};

constexpr int kRed = 141, kGreen = 161;

TEST_F(EditorDraw, KnobCellsFollowRawValues) {
    const struct {
        float raw;
        int cell;
    } cases[] = {{0, 6}, {1, 6}, {2, 7}, {32, 23}, {64, 41}, {100, 61}, {127, 76}, {128, 77},
                 // outside the knob's range, as a host value beyond 0..1 leaves it
                 {-40, 6}, {300, 77}};
    const int knobX[4] = {77, 146, 209, 279};
    for (const auto& c : cases) {
        for (int p = 0; p < 4; ++p) effect().storeRaw(p, c.raw);
        repaint();
        tick();
        Frame expected;
        for (int x : knobX) expected.knob(x, c.cell);
        for (int x : knobX) {
            EXPECT_EQ(region(x, 46, 48, 48), crop(expected.pixels, x, 46, 48, 48)) << "raw " << c.raw << " at " << x;
        }
    }
}

TEST_F(EditorDraw, LevelLedFollowsTheLouderChannel) {
    const struct {
        float left, right;
        int row, cell;  // cell -1: the empty socket
        float leftAfter;
    } cases[] = {
        {0.0f, 0.0f, kGreen, 17, 0.0f},   {0.5f, 0.5f, kGreen, 17, 0.45f},  {0.7f, 0.7f, kGreen, 17, 0.65f},
        {0.85f, 0.85f, kGreen, 7, 0.8f},  {0.99f, 0.99f, kGreen, -1, 0.94f}, {1.0f, 1.0f, kRed, -1, 0.95f},
        {1.15f, 1.15f, kRed, 7, 1.1f},    {2.0f, 2.0f, kRed, 16, 1.25f},    {0.2f, 1.15f, kRed, 7, 0.15f},
        {1.3f, 0.0f, kRed, 16, 1.25f},  // the red LED never reaches its cell 17
    };
    for (const auto& c : cases) {
        effect().display.peakLeft = c.left;
        effect().display.peakRight = c.right;
        tick();
        EXPECT_EQ(led(44, 18), expectedLed(44, 18, c.row, c.cell)) << c.left << "/" << c.right;
        EXPECT_NEAR(effect().display.peakLeft, c.leftAfter, 1e-6f) << "capped at 1.3, then lowered by 0.05";
    }
}

TEST_F(EditorDraw, MetersFallToZeroAndStayThere) {
    effect().display.peakLeft = 1.3f;
    effect().display.clipLevel = 1.0f;
    tick(25);
    EXPECT_GT(effect().display.peakLeft, 0.04f);
    tick();
    EXPECT_LT(effect().display.peakLeft, 1e-6f) << "26 frames from full scale, up to float rounding";
    tick();
    EXPECT_EQ(effect().display.peakLeft, 0.0f) << "never below 0";
    EXPECT_EQ(effect().display.clipLevel, 0.0f);
    EXPECT_EQ(effect().display.peakRight, 0.0f);
}

TEST_F(EditorDraw, TubeSlewsTowardTheDrive) {
    instance->set(kDrive, 1.0f);
    instance->set(kTimesTwo, 1.0f);
    const struct {
        int ticks, cell;
    } rising[] = {{1, 0}, {9, 10}, {6, 17}, {1, 18}, {10, 18}};
    for (const auto& step : rising) {
        tick(step.ticks);
        EXPECT_EQ(region(413, 8, 48, 53), tubeCell(step.cell)) << "cell " << step.cell;
    }
    // Without the second stage the glow settles at 0.7: cell 12.
    instance->set(kTimesTwo, 0.0f);
    tick();
    EXPECT_EQ(region(413, 8, 48, 53), tubeCell(16)) << "one step of 0.06 down";
    tick(10);
    EXPECT_EQ(region(413, 8, 48, 53), tubeCell(12));
    EXPECT_FLOAT_EQ(effect().display.tubeGlow, 0.7f);

    instance->set(kDrive, 0.0f);
    tick(10);
    EXPECT_NE(region(413, 8, 48, 53), crop(skin().panel, 413, 8, 48, 53));
    tick();
    EXPECT_EQ(region(413, 8, 48, 53), crop(skin().panel, 413, 8, 48, 53)) << "the unlit socket";
}

TEST_F(EditorDraw, TubeSettlesFromColdWithoutTheSecondStage) {
    instance->set(kDrive, 1.0f);
    tick(11);
    EXPECT_EQ(region(413, 8, 48, 53), tubeCell(11));
    tick();
    EXPECT_EQ(region(413, 8, 48, 53), tubeCell(12));
    tick(5);
    EXPECT_EQ(region(413, 8, 48, 53), tubeCell(12));
}

TEST_F(EditorDraw, TimesTwoLedFadesInAndOutOverTwentyFrames) {
    instance->set(kTimesTwo, 1.0f);
    // The frame shows the fade reached before it; the fade then moves on.
    const struct {
        int ticks, cell;
    } fadeIn[] = {{1, -1}, {1, -1}, {1, 0}, {8, 8}, {10, 17}, {5, 17}};
    for (const auto& step : fadeIn) {
        tick(step.ticks);
        EXPECT_EQ(led(347, 18), expectedLed(347, 18, kGreen, step.cell)) << "cell " << step.cell;
    }
    EXPECT_EQ(effect().display.x2Fade, 1.0f);
    instance->set(kTimesTwo, 0.0f);
    tick();
    EXPECT_EQ(led(347, 18), expectedLed(347, 18, kGreen, 17));
    tick(18);
    EXPECT_EQ(led(347, 18), expectedLed(347, 18, kGreen, 0));
    tick();
    EXPECT_EQ(led(347, 18), expectedLed(347, 18, kGreen, -1));
    tick();
    EXPECT_EQ(effect().display.x2Fade, 0.0f);
}

TEST_F(EditorDraw, BoostWarmsItsLedAndTheCircuitWindow) {
    const auto circuit = [&](int cell) { return crop(skin().circuit, 124 * cell, 0, 124, 24); };
    EXPECT_EQ(region(165, 107, 124, 24), circuit(1));
    instance->set(kBoost, 1.0f);
    const struct {
        int ticks, circuitCell, ledCell;
    } steps[] = {{5, 1, 2}, {5, 3, 7}, {10, 12, 16}, {1, 14, 17}, {3, 14, 17}};
    for (const auto& step : steps) {
        tick(step.ticks);
        EXPECT_EQ(region(165, 107, 124, 24), circuit(step.circuitCell)) << "circuit " << step.circuitCell;
        EXPECT_EQ(led(48, 87), expectedLed(48, 87, kRed, step.ledCell)) << "led " << step.ledCell;
    }
}

TEST_F(EditorDraw, ReadoutDrawsDigitsPointsSignAndUnit) {
    const struct {
        const char* text;
        int32_t kind;
        bool minus;
        int digits[3];  // -1: none
        int point;      // pen x of the point, 0 for none
    } cases[] = {
        {"-12.5", kReadoutIngain, true, {1, 2, 5}, 399},
        {"100.0", kReadoutDrive, false, {1, 0, 0}, 0},
        {"100.", kReadoutDrive, false, {1, 0, 0}, 0},
        {"50.0", kReadoutAttack, false, {5, 0, 0}, 399},
        {"0.78", kReadoutRelease, false, {0, 7, 8}, 387},
        {" 3.1", kReadoutDrive, false, {3, 1, -1}, 387},
        {"-16.", kReadoutIngain, true, {1, 6, -1}, 399},
        {"9", kReadoutDrive, false, {9, -1, -1}, 0},
        {"2-x4", kReadoutDrive, false, {2, 4, -1}, 0},
        {"8888", kReadoutDrive, false, {8, 8, 8}, 0},
    };
    for (const auto& c : cases) {
        showReadout(c.text, c.kind);
        Frame expected;
        expected.display();
        expected.glyph(c.kind == kReadoutIngain);
        if (c.minus) expected.minus();
        for (int n = 0; n < 3; ++n) {
            if (c.digits[n] >= 0) expected.digit(n, c.digits[n]);
        }
        if (c.point) expected.point(c.point);
        EXPECT_EQ(region(360, 76, 70, 24), crop(expected.pixels, 360, 76, 70, 24)) << '"' << c.text << '"';
    }
}

TEST_F(EditorDraw, EmptyReadoutShowsNoGlyph) {
    showReadout("50.0", kReadoutDrive);
    showReadout("", kReadoutDrive);
    EXPECT_EQ(region(360, 76, 70, 24), crop(skin().panel, 360, 76, 70, 24));
}

TEST_F(EditorDraw, ReadoutWithoutTerminatorStopsAtItsStorage) {
    std::string letters(ReadoutText::kCapacity, 'x');
    showReadout(letters.c_str(), kReadoutDrive);
    Frame expected;
    expected.display();
    expected.glyph(false);
    EXPECT_EQ(region(360, 76, 70, 24), crop(expected.pixels, 360, 76, 70, 24));
}

TEST_F(EditorDraw, DigitsOutsideTheDisplayAreNotDrawn) {
    const softwin::Image before = frame();
    editor().drawDigit('x', 0);
    editor().drawDigit('5', 3);
    editor().drawDigit('5', -1);
    const softwin::Image back = *softwin::bitmapPixels(editor().backBitmap);
    EXPECT_EQ(crop(back, 360, 76, 70, 24), crop(before, 360, 76, 70, 24));
}

TEST_F(EditorDraw, AboutPanelShowsWhileTheLogoIsHeld) {
    const softwin::Image normal = frame();
    const softwin::Image about = crop(skin().panel, 0, 182, 500, 140);
    mouse(WM_LBUTTONDOWN, 470, 10);
    tick();
    EXPECT_EQ(frame(), about);
    effect().display.peakLeft = 1.3f;  // nothing animates while it is held
    tick(3);
    EXPECT_EQ(frame(), about);
    EXPECT_EQ(effect().display.peakLeft, 1.3f);

    // A repaint while held shows the bare panel background.
    repaint();
    tick();
    EXPECT_EQ(frame(), Frame().pixels);

    mouse(WM_LBUTTONUP, 470, 10);
    effect().display.peakLeft = 0.0f;
    tick();
    EXPECT_EQ(frame(), normal);
}

TEST_F(EditorDraw, NonNumbersInDisplayValuesDrawSafely) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    effect().display.peakLeft = nan;
    effect().display.x2Fade = nan;
    effect().display.boostFade = nan;
    effect().storeRaw(kIngain, nan);
    tick();
    EXPECT_EQ(led(44, 18), expectedLed(44, 18, kGreen, -1));
    EXPECT_EQ(effect().display.peakLeft, 0.0f);
    EXPECT_EQ(effect().display.x2Fade, 0.0f);
    effect().storeRaw(kIngain, 64.0f);
    effect().display.peakLeft = 0.0f;
    tick(2);
    EXPECT_EQ(frame(), skinart::startFrame().pixels);
}

}  // namespace
