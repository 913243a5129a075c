// A VST 2 host for validation: loads the plug-in library as a host does
// (dynamic loading, the exported "main"), answers the plug-in's requests and
// keeps the tally the final report gives.
#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/vst2.h"

struct Tally {
    std::atomic<std::uint64_t> instances{0};
    std::atomic<std::uint64_t> opcodeCalls{0};
    std::atomic<std::uint64_t> samples{0};
    std::atomic<std::uint64_t> badInputs{0};
};
Tally& tally();

class PluginLibrary {
public:
    /// Throws std::runtime_error when the library or its entry is missing.
    explicit PluginLibrary(const std::string& path);
    VstEntryProc entry() const { return entry_; }
    void* symbol(const char* name) { return library_.symbol(name); }

private:
    DynamicLibrary library_;
    VstEntryProc entry_ = nullptr;
};

/// The shipped plug-in, loaded once for the whole run.
PluginLibrary& shippedPlugin();

/// One instance as a host holds it. Host requests are recorded per instance;
/// the callback may run on any thread.
class Effect {
public:
    explicit Effect(PluginLibrary& library = shippedPlugin());
    ~Effect() { close(); }
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    AEffect* record() const { return record_; }
    bool alive() const { return record_ != nullptr; }
    /// effClose with the given arguments; answers what the dispatcher answered.
    intptr_t close(int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    /// A text opcode's answer, read from a zeroed 256-byte buffer.
    std::string text(int32_t opcode, int32_t index = 0, intptr_t value = 0);
    void set(int32_t index, float value);
    float get(int32_t index);
    void processReplacing(float** inputs, float** outputs, int32_t frames);
    void process(float** inputs, float** outputs, int32_t frames);
    /// Sample rate, block size, switch-on.
    void start(float sampleRate, int32_t blockSize);

    /// audioMasterAutomate requests as (index, value), including those made while `main` ran.
    std::vector<std::pair<int32_t, float>> automations() const;
    void clearAutomations();

    static intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                             void* ptr, float opt);

private:
    void recordAutomation(int32_t index, float value);

    AEffect* record_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::pair<int32_t, float>> automations_;
};

/// While on (per thread), the host answers every automation request as some
/// hosts do: it reads the parameter and its display text back at once, from
/// inside the request, even while `main` is still running.
void setEchoingHost(bool on);
/// Read-backs while echoing, and those that differed from the value reported.
std::uint64_t echoReads();
std::uint64_t echoMismatches();

/// A validation build of the same library that also lets the host act as the
/// window system: fire the editor's timers, move and click the mouse.
PluginLibrary& drivenPlugin();

struct EditorDriver {
    void (*advance)(unsigned milliseconds);
    intptr_t (*mouse)(void* window, unsigned message, int x, int y);
    void* (*lastWindow)();
    std::size_t (*liveWindows)();
    std::size_t (*liveGdiObjects)();
    std::size_t (*registeredClasses)();
    void* (*windowParent)(void* window);

    static constexpr unsigned kMouseMove = 0x0200;
    static constexpr unsigned kLeftDown = 0x0201;
    static constexpr unsigned kLeftUp = 0x0202;
    static constexpr unsigned kRightDown = 0x0204;
    static constexpr unsigned kRightUp = 0x0205;
};
const EditorDriver& editorDriver();

/// What hosts' validators accept in an output: finite and not subnormal.
inline bool cleanSample(float x) {
    return std::isfinite(x) && std::fpclassify(x) != FP_SUBNORMAL;
}
