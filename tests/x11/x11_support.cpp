#include "tests/x11/x11_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "host/effect_base.h"
#include "product/shaper_effect_edit.h"
#include "tools/common/editor_snapshot.h"

PrivateDisplay& testDisplay() {
    static PrivateDisplay display;
    static const bool named = display.ok() && ::setenv("DISPLAY", display.name().c_str(), 1) == 0;
    (void)named;
    return display;
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout,
             const std::function<void()>& between, std::chrono::milliseconds period) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        if (between) between();
        std::this_thread::sleep_for(period);
    }
}

std::string difference(const softwin::Image& seen, const softwin::Image& expected) {
    if (seen.width != expected.width || seen.height != expected.height) return "sizes differ";
    std::size_t count = 0;
    int firstX = -1, firstY = -1;
    for (int y = 0; y < seen.height; ++y) {
        for (int x = 0; x < seen.width; ++x) {
            if (seen.pixel(x, y) == expected.pixel(x, y)) continue;
            if (count++ == 0) firstX = x, firstY = y;
        }
    }
    if (count == 0) return "equal";
    char text[160];
    std::snprintf(text, sizeof text, "%zu pixels differ, first at (%d, %d): 0x%06x, expected 0x%06x", count, firstX,
                  firstY, seen.pixel(firstX, firstY), expected.pixel(firstX, firstY));
    return text;
}

namespace {

std::atomic<std::uint64_t> automations{0};

intptr_t VSTCALLBACK hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterAutomate) ++automations;
    return 0;
}

}  // namespace

std::uint64_t automationCount() { return automations; }

LoadedPlugin& LoadedPlugin::get() {
    static LoadedPlugin plugin;
    return plugin;
}

LoadedPlugin::LoadedPlugin() {
    if (!library_.open(VARNOX_PLUGIN_PATH)) throw std::runtime_error(library_.error());
    entry_ = reinterpret_cast<VstEntryProc>(library_.symbol("main"));
    if (!entry_) throw std::runtime_error("no main in " VARNOX_PLUGIN_PATH);
}

AEffect* LoadedPlugin::create() const { return entry_(&hostCallback); }

void applyState(AEffect* effect, const EffectState& state) {
    effect->dispatcher(effect, effSetProgram, 0, state.program, nullptr, 0.0f);
    for (const auto& [index, value] : state.parameters) effect->setParameter(effect, index, value);
}

softwin::Image softwareFrame(const EffectState& state, const std::vector<MouseStep>& script, int settleTicks,
                             const std::string& scale) {
    AEffect* effect = createEffectInstance(&hostCallback);
    applyState(effect, state);
    softwin::Image frame;
    if (script.empty()) {
        frame = *snapshot::captureEditor(effect, settleTicks, scale);
    } else {
        // The snapshot's way, with the mouse moving between ticks.
        effect->dispatcher(effect, effEditOpen, 0, 0, nullptr, 0.0f);
        HWND window = softwin::lastWindow("varnoxclass");
        softwin::tick();
        for (const MouseStep& step : script) {
            softwin::sendMouse(window, step.message, step.x, step.y);
            for (int i = 0; i < step.ticks; ++i) softwin::tick();
        }
        for (int i = 0; i < settleTicks; ++i) softwin::tick();
        frame = *softwin::windowPixels(window);
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return frame;
}
