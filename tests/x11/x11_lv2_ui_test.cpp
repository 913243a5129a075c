// The LV2 UI in a host of ours: Varnox_ui.so loaded through lv2ui_descriptor
// as lilv/suil hosts load it, in an Xlib window on the private display,
// driven by the host's idle calls. It speaks only through ports: values in
// through port_event, gestures out as ui:touch and port writes.
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/programs.h"
#include "lv2/ports.h"
#include "platform/dynamic_library.h"
#include "tests/x11/x11_support.h"
#include "tests/x11/x_host.h"

namespace {

using namespace std::chrono_literals;
using namespace lv2face;

constexpr int kOriginX = 60, kOriginY = 220;

class UiHost {
public:
    struct Call {
        char what;  // 't' touch, 'u' untouch, 'w' write
        uint32_t port;
        float value;
        bool operator==(const Call& o) const { return what == o.what && port == o.port && value == o.value; }
    };

    UiHost() {
        if (!library.open(VARNOX_LV2_UI_PATH)) return;
        auto entry = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(library.symbol("lv2ui_descriptor"));
        descriptor = entry ? entry(0) : nullptr;
    }
    ~UiHost() { close(); }

    /// Instantiates the UI in `parent`; `scale` 0 passes no scale factor.
    bool open(Window parent, bool offerTouch = true, float scale = 0.0f) {
        scaleFactor = scale;
        map = {this, &UiHost::mapUri};
        touch = {this, &UiHost::touched};
        resize = {this, &UiHost::resized};
        options.clear();
        if (scale > 0.0f) {
            options.push_back({LV2_OPTIONS_INSTANCE, 0, mapUri(this, LV2_UI__scaleFactor), sizeof(float),
                               mapUri(this, LV2_ATOM__Float), &scaleFactor});
        }
        options.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
        features = {{LV2_UI__parent, reinterpret_cast<void*>(parent)},
                    {LV2_UI__idleInterface, nullptr},
                    {LV2_UI__resize, &resize},
                    {LV2_URID__map, &map},
                    {LV2_OPTIONS__options, options.data()}};
        if (offerTouch) features.push_back({LV2_UI__touch, &touch});
        featureList.clear();
        for (const LV2_Feature& f : features) featureList.push_back(&f);
        featureList.push_back(nullptr);
        handle = descriptor->instantiate(descriptor, kPluginUri, VARNOX_LV2_BUNDLE "/", &UiHost::written, this, &widget,
                                         featureList.data());
        if (!handle) return false;
        idleInterface = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        return idleInterface != nullptr;
    }
    void close() {
        if (handle) descriptor->cleanup(handle);
        handle = nullptr;
    }

    /// What a host sends when the UI opens or a preset loads: every control
    /// input's value.
    void sendProgram(int32_t program) {
        for (int32_t p = 0; p < kPortCount; ++p) {
            const Port& port = kPorts[p];
            if (port.kind == PortKind::kControl) {
                // A face row (oversampling) keeps its default: presets leave it alone.
                const float raw = port.parameter >= 0 ? factoryRaw(program, port.parameter) : port.row->defaultRaw;
                send(p, portValue(*port.row, raw));
            }
            if (port.kind == PortKind::kEnabled) send(p, 1.0f);
        }
    }
    void send(int32_t port, float value) {
        descriptor->port_event(handle, static_cast<uint32_t>(port), sizeof value, 0, &value);
    }
    void idle() {
        ASSERT_EQ(idleInterface->idle(handle), 0);
        std::this_thread::sleep_for(10ms);
    }
    bool idleUntil(const std::function<bool()>& done) { return waitFor(done, 15s, [&] { idle(); }, 0ms); }

    DynamicLibrary library;
    const LV2UI_Descriptor* descriptor = nullptr;
    LV2UI_Handle handle = nullptr;
    LV2UI_Widget widget = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    std::vector<Call> calls;
    int width = 0, height = 0;

private:
    static LV2_URID mapUri(LV2_URID_Map_Handle self, const char* uri) {
        auto& uris = static_cast<UiHost*>(self)->uris;
        for (std::size_t i = 0; i < uris.size(); ++i) {
            if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
        }
        uris.emplace_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }
    static void written(LV2UI_Controller self, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
        ASSERT_EQ(format, 0u);
        ASSERT_EQ(size, sizeof(float));
        static_cast<UiHost*>(self)->calls.push_back({'w', port, *static_cast<const float*>(buffer)});
    }
    static void touched(LV2UI_Feature_Handle self, uint32_t port, bool grabbed) {
        static_cast<UiHost*>(self)->calls.push_back({grabbed ? 't' : 'u', port, 0.0f});
    }
    static int resized(LV2UI_Feature_Handle self, int w, int h) {
        static_cast<UiHost*>(self)->width = w;
        static_cast<UiHost*>(self)->height = h;
        return 0;
    }

    std::vector<std::string> uris;
    float scaleFactor = 0.0f;
    LV2_URID_Map map{};
    LV2UI_Touch touch{};
    LV2UI_Resize resize{};
    std::vector<LV2_Options_Option> options;
    std::vector<LV2_Feature> features;
    std::vector<const LV2_Feature*> featureList;
};

class Lv2Ui : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        host = std::make_unique<XHost>();
        ASSERT_TRUE(host->ok());
        ASSERT_NE(ui.descriptor, nullptr) << ui.library.error();
        EXPECT_STREQ(ui.descriptor->URI, kUiUri);
    }
    void openIn(int width, int height, bool offerTouch = true, float scale = 0.0f) {
        window = host->createWindow(width, height, nullptr, 0, kOriginX, kOriginY);
        ASSERT_TRUE(ui.open(window, offerTouch, scale));
    }
    void pointerTo(int x, int y) const { host->pointerTo(kOriginX + x, kOriginY + y); }
    /// Idles until the host's window shows `expected`.
    void expectPicture(const softwin::Image& expected, int width = kEditorWidth, int height = kEditorHeight) {
        softwin::Image seen;
        EXPECT_TRUE(ui.idleUntil([&] { return (seen = host->capture(window, width, height)) == expected; }))
            << difference(seen, expected);
    }

    std::unique_ptr<XHost> host;
    UiHost ui;
    Window window = 0;
};

TEST_F(Lv2Ui, ShowsTheSoftwareLayersPictureAndFollowsThePorts) {
    const std::size_t threadsBefore = threadCount();
    openIn(kEditorWidth, kEditorHeight);
    EXPECT_EQ(threadCount(), threadsBefore) << "the host's idle calls drive the window";
    EXPECT_EQ(ui.width, kEditorWidth);
    EXPECT_EQ(ui.height, kEditorHeight);
    const std::vector<Window> children = host->children(window);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(reinterpret_cast<Window>(ui.widget), children[0]) << "the widget is the editor's X11 window";

    ui.sendProgram(0);
    expectPicture(softwareFrame(EffectState{}));

    // A preset loaded in the host: its values arrive port by port.
    ui.sendProgram(2);
    expectPicture(softwareFrame(EffectState{2, {}}));
    EXPECT_TRUE(ui.calls.empty()) << "values from the host are not sent back";

    ui.close();
    EXPECT_TRUE(host->children(window).empty()) << "cleanup removes the window";
}

TEST_F(Lv2Ui, ADragReachesTheDrivePortAsTouchWritesUntouch) {
    openIn(kEditorWidth, kEditorHeight);
    ui.sendProgram(0);
    ASSERT_TRUE(ui.idleUntil([&] { return host->capture(window, kEditorWidth, kEditorHeight) ==
                                          softwareFrame(EffectState{}); }));
    const auto drive = static_cast<uint32_t>(portOfParameter(kDrive));
    // 30 pixels up from rest: step 30, 23.4375 %.
    pointerTo(303, 70);
    host->button(1, true);
    ASSERT_TRUE(ui.idleUntil([&] { return !ui.calls.empty(); }));
    pointerTo(303, 40);
    ASSERT_TRUE(ui.idleUntil([&] { return ui.calls.back() == UiHost::Call{'w', drive, 23.4375f}; }));
    // The host's echo of an earlier value during the drag does not move the knob back.
    ui.send(static_cast<int32_t>(drive), 10.0f);
    host->button(1, false);
    ASSERT_TRUE(ui.idleUntil([&] { return ui.calls.back().what == 'u'; }));
    EXPECT_EQ(ui.calls.front(), (UiHost::Call{'t', drive, 0.0f}));
    EXPECT_EQ(ui.calls.back(), (UiHost::Call{'u', drive, 0.0f}));
    for (const UiHost::Call& call : ui.calls) EXPECT_EQ(call.port, drive);
    // The drag as the software layer sees it: the same picture.
    const std::vector<MouseStep> drag = {{WM_MOUSEMOVE, 303, 70}, {WM_LBUTTONDOWN, 303, 70}, {WM_MOUSEMOVE, 303, 40, 3},
                                         {WM_LBUTTONUP, 303, 40}};
    pointerTo(600, 400);
    expectPicture(softwareFrame(EffectState{}, drag));
}

TEST_F(Lv2Ui, WithoutTouchTheDragStillWritesThePort) {
    openIn(kEditorWidth, kEditorHeight, false);
    ui.sendProgram(0);
    ASSERT_TRUE(ui.idleUntil([&] { return host->capture(window, kEditorWidth, kEditorHeight) ==
                                          softwareFrame(EffectState{}); }));
    pointerTo(303, 70);
    host->button(1, true);
    pointerTo(303, 50);
    const auto drive = static_cast<uint32_t>(portOfParameter(kDrive));
    ASSERT_TRUE(ui.idleUntil([&] { return !ui.calls.empty() && ui.calls.back() == UiHost::Call{'w', drive, 15.625f}; }));
    host->button(1, false);
    for (const UiHost::Call& call : ui.calls) EXPECT_EQ(call.what, 'w');
}

TEST_F(Lv2Ui, TheHostsScaleFactorDrawsTheLargerEditor) {
    openIn(2 * kEditorWidth, 2 * kEditorHeight, true, 2.0f);
    EXPECT_EQ(ui.width, 2 * kEditorWidth);
    EXPECT_EQ(ui.height, 2 * kEditorHeight);
    ui.sendProgram(0);
    expectPicture(softwareFrame(EffectState{}, {}, 60, "2"), 2 * kEditorWidth, 2 * kEditorHeight);
}

// The meter ports raise the editor's meters as the signal path raises the
// effect's; the editor lets them fall again.
TEST_F(Lv2Ui, MeterPortsRaiseTheMetersAndTheEditorLowersThem) {
    openIn(kEditorWidth, kEditorHeight);
    ui.sendProgram(0);
    const softwin::Image rest = softwareFrame(EffectState{});
    ASSERT_TRUE(ui.idleUntil([&] { return host->capture(window, kEditorWidth, kEditorHeight) == rest; }));
    ui.send(portOfMeter(Meter::kPeakLeft), 0.9f);
    ui.send(portOfMeter(Meter::kClip), 1.0f);
    EXPECT_TRUE(ui.idleUntil([&] { return host->capture(window, kEditorWidth, kEditorHeight) != rest; }));
    ui.send(portOfMeter(Meter::kPeakLeft), 0.0f);
    ui.send(portOfMeter(Meter::kClip), 0.0f);
    expectPicture(rest);
}

// A window to live in and idle calls to run it are required; without either
// (or in a window that is none) there is no UI, and no window left behind.
TEST_F(Lv2Ui, NoParentOrNoIdleCallsNoUi) {
    window = host->createWindow(kEditorWidth, kEditorHeight, nullptr, 0, kOriginX, kOriginY);
    const auto write = [](LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {};
    const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(window)};
    const LV2_Feature idle{LV2_UI__idleInterface, nullptr};
    const LV2_Feature noWindow{LV2_UI__parent, reinterpret_cast<void*>(window + 1000)};
    const LV2_Feature* withoutIdle[] = {&parent, nullptr};
    const LV2_Feature* withoutParent[] = {&idle, nullptr};
    const LV2_Feature* noSuchWindow[] = {&noWindow, &idle, nullptr};
    for (const LV2_Feature* const* features : {withoutIdle, withoutParent, noSuchWindow}) {
        LV2UI_Widget widget = nullptr;
        EXPECT_EQ(ui.descriptor->instantiate(ui.descriptor, kPluginUri, "", write, nullptr, &widget, features), nullptr);
    }
    EXPECT_TRUE(host->children(window).empty());
}

}  // namespace
