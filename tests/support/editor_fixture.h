// An effect instance with its editor driven through the software window
// layer: window messages and 50 ms ticks in, window pixels and host calls out.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "editor/skin_editor.h"
#include "engine/shaper_effect.h"
#include "platform/soft_win32_driver.h"
#include "tests/support/fake_host.h"
#include "tests/support/instance.h"
#include "tests/support/skin_art.h"

class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        skinart::skin();
        gdiBefore = softwin::liveGdiObjects();
        windowsBefore = softwin::liveWindows().size();
        instance = std::make_unique<Instance>(host);
    }
    void TearDown() override {
        instance.reset();
        EXPECT_EQ(softwin::liveGdiObjects(), gdiBefore);
        EXPECT_EQ(softwin::liveWindows().size(), windowsBefore);
        EXPECT_FALSE(softwin::isClassRegistered("varnoxclass"));
        EXPECT_EQ(SkinEditor::openEditorCount(), 0);
    }

    ShaperEffect& effect() const { return instance->effect(); }
    SkinEditor& editor() const { return static_cast<SkinEditor&>(*effect().editor()); }

    HWND open(void* parent = nullptr) {
        EXPECT_EQ(instance->dispatch(effEditOpen, 0, 0, parent), 1);
        return editor().window;
    }
    void close() { instance->dispatch(effEditClose); }
    static void tick(int count = 1) {
        for (int i = 0; i < count; ++i) softwin::tick();
    }
    softwin::Image frame() const { return *softwin::windowPixels(editor().window); }
    softwin::Image region(int x, int y, int width, int height) const {
        return skinart::crop(frame(), x, y, width, height);
    }
    LRESULT mouse(UINT message, int x, int y) const { return softwin::sendMouse(editor().window, message, x, y); }
    /// Makes the next tick repaint the panel first.
    void repaint() const { softwin::sendMessage(editor().window, WM_PAINT); }

    /// (index, value) of every audioMasterAutomate since the last clear.
    std::vector<std::pair<int32_t, float>> automations() const {
        std::vector<std::pair<int32_t, float>> sent;
        for (const HostCall& call : host.callsOf(audioMasterAutomate)) sent.emplace_back(call.index, call.opt);
        return sent;
    }
    float raw(int32_t index) const { return effect().rawValue[index]; }

    FakeHost host;
    std::unique_ptr<Instance> instance;
    std::size_t gdiBefore = 0;
    std::size_t windowsBefore = 0;
};

/// The editor open and drawn once, with the host's calls so far forgotten.
class OpenEditorFixture : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        window = open();
        tick();
        host.clear();
    }
    void TearDown() override {
        close();
        EditorFixture::TearDown();
    }
    HWND window = nullptr;
};
