// The editor on high-density screens: the scale it picks, the same panel
// drawn from the larger artwork (not stretched), and the mouse working in
// panel units so a drag moves a knob alike at every scale.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "editor/frame_cells.h"
#include "platform/display_scale.h"
#include "tests/support/editor_fixture.h"
#include "tests/support/scoped_environment.h"

namespace {

TEST(EditorScaleChoice, SnapsToTheNearestDrawnScale) {
    const struct {
        double factor;
        int halves;
    } cases[] = {{0.0, 2}, {-1.0, 2}, {NAN, 2}, {0.5, 2}, {1.0, 2}, {1.24, 2}, {1.25, 3}, {1.5, 3},
                 {1.74, 3}, {1.75, 4},  {2.0, 4}, {3.0, 4}, {INFINITY, 4}};
    for (const auto& c : cases) EXPECT_EQ(SkinEditor::snapScale(c.factor), c.halves) << c.factor;
}

TEST(DesktopScale, ReadsTheResourceDatabaseAndTheOverride) {
    EXPECT_EQ(display::xftDpi("Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n"), 192.0);
    EXPECT_EQ(display::xftDpi("Xft.dpi: 144"), 144.0);
    EXPECT_EQ(display::xftDpi("Xft.dpis:\t192\n*.dpi:\t192\nXft.dpi:\tlarge\n"), 0.0);
    EXPECT_EQ(display::xftDpi(""), 0.0);
    EXPECT_EQ(display::parseScale("1.5"), 1.5);
    for (const char* bad : {"", "two", "2x", "-2", "0", "1e9"}) EXPECT_EQ(display::parseScale(bad), 0.0) << bad;

    const ScopedEnvironment forced("VARNOX_SCALE", "1.5");
    EXPECT_EQ(display::scaleFor(nullptr), 1.5) << "the user's override wins over any display";
}

// The 2x skin's own pixels, read by the test's reader.
softwin::Image bitmap(int id) {
    softwin::Image image;
    EXPECT_TRUE(skinart::readBmp(softwin::bitmapResource(id), image)) << id;
    return image;
}

class EditorScale : public EditorFixture {
protected:
    void TearDown() override {
        close();
        EditorFixture::TearDown();
    }
    /// Opens the editor as a desktop at `scale` has it opened.
    HWND openAt(const char* scale) {
        const ScopedEnvironment forced("VARNOX_SCALE", scale);
        ERect* rect = nullptr;
        EXPECT_EQ(instance->dispatch(effEditGetRect, 0, 0, &rect), 1);
        EXPECT_EQ(rect->right, panel::toDevice(500, editor().scale()));
        EXPECT_EQ(rect->bottom, panel::toDevice(140, editor().scale()));
        return open();
    }
};

TEST_F(EditorScale, TwoTimesIsTheSamePanelDrawnFiner) {
    // The 1x picture of the same state, for comparison.
    softwin::Image small;
    {
        const ScopedEnvironment one("VARNOX_SCALE", "1");
        FakeHost otherHost;
        Instance other(otherHost);
        other.set(kDrive, 0.75f);
        ASSERT_EQ(other.dispatch(effEditOpen, 0, 0, nullptr), 1);
        tick(40);
        small = *softwin::windowPixels(static_cast<SkinEditor&>(*other.effect().editor()).window);
        other.dispatch(effEditClose);
    }
    instance->set(kDrive, 0.75f);
    openAt("2");
    tick(40);
    const softwin::Image big = frame();
    ASSERT_EQ(big.width, 1000);
    ASSERT_EQ(big.height, 280);

    // Every 2 x 2 block averages to about the 1x pixel, and many blocks are
    // not flat: finer detail, not doubled pixels.
    long long difference = 0;
    int detailed = 0;
    for (int y = 0; y < 140; ++y) {
        for (int x = 0; x < 500; ++x) {
            for (int channel = 0; channel < 3; ++channel) {
                const auto at = [&](int dx, int dy) {
                    return static_cast<int>(big.rgb[((2 * y + dy) * 1000 + 2 * x + dx) * 3 + channel]);
                };
                const int average = (at(0, 0) + at(1, 0) + at(0, 1) + at(1, 1) + 2) / 4;
                difference += std::abs(average - small.rgb[(y * 500 + x) * 3 + channel]);
                if (channel == 0 && (at(0, 0) != at(1, 0) || at(0, 0) != at(0, 1) || at(0, 0) != at(1, 1))) ++detailed;
            }
        }
    }
    EXPECT_LT(static_cast<double>(difference) / (500 * 140 * 3), 12.0) << "mean difference per channel";
    EXPECT_GT(detailed, 500 * 140 / 5);

    // The Drive knob is its 2x cell composed on the 2x panel, in register.
    const panel::Rect knob = panel::toDevice(panel::kControls[0].area, 4);
    softwin::Image expected = skinart::crop(bitmap(206), knob.x, knob.y, knob.width, knob.height);
    const softwin::Image strip = bitmap(207);
    skinart::blit(expected, 0, 0, knob.width, knob.height, strip, 0, 0, skinart::Rop::kAnd);
    skinart::blit(expected, 0, 0, knob.width, knob.height, strip, knob.width * knobCell(96.0f), 0,
                  skinart::Rop::kPaint);
    EXPECT_TRUE(skinart::crop(big, knob.x, knob.y, knob.width, knob.height) == expected);
}

// The same drag in panel units moves the knob as far at every scale, and a
// control's edge is where the panel puts it.
TEST_F(EditorScale, HitsAndDragsInPanelUnits) {
    const int scales[] = {2, 3, 4};
    const char* names[] = {"1", "1.5", "2"};
    for (int i = 0; i < 3; ++i) {
        const int h = scales[i];
        const auto device = [h](int v) { return panel::toDevice(v, h); };
        instance->set(kDrive, 0.0f);
        HWND window = openAt(names[i]);
        ASSERT_EQ(editor().scale(), h);
        EXPECT_EQ(frame().width, device(500));

        mouse(WM_LBUTTONDOWN, device(279) - 1, device(70));  // just left of Drive
        tick();
        mouse(WM_LBUTTONUP, device(279) - 1, device(70));
        EXPECT_EQ(raw(kDrive), 0.0f) << names[i];

        mouse(WM_LBUTTONDOWN, device(279), device(90));
        mouse(WM_MOUSEMOVE, device(279), device(90 - 37));
        tick();
        mouse(WM_LBUTTONUP, device(279), device(90 - 37));
        EXPECT_EQ(raw(kDrive), 37.0f) << names[i];

        // The wheel's screen position lands on the knob at every scale too.
        softwin::sendMessage(window, WM_MOUSEWHEEL, MAKELONG(0, WHEEL_DELTA), MAKELPARAM(device(300), device(70)));
        EXPECT_EQ(raw(kDrive), 38.0f) << names[i];
        close();
    }
    open();  // for TearDown's close
}

}  // namespace
