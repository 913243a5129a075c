// A strict CLAP host of our own for the tests: it loads Varnox.clap through
// clap_entry as any host does, offers params, state, thread-check, timer and
// descriptor support, and records every call the plug-in makes of it. Calls
// the interface reserves for the main thread are checked against the thread
// that made the host: one from any other thread is a recorded violation,
// which fails the test (ClapTest::TearDown).
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/clap/extensions.h"
#include "platform/clap/presets.h"
#include "platform/vst2.h"
#include "tests/support/vst2_reference.h"

namespace claphost {

/// The module, loaded once per process; its entry initialised.
const clap_plugin_entry_t& entry();
const clap_plugin_factory_t& factory();

/// A copy of any event the plug-in hands over.
struct Event {
    uint16_t type;
    uint32_t time;
    clap_id id;
    double value;  // PARAM_VALUE only

    bool operator==(const Event& o) const { return type == o.type && time == o.time && id == o.id && value == o.value; }
};
std::ostream& operator<<(std::ostream& os, const Event& e);

Event paramValue(clap_id id, double value, uint32_t time = 0);
Event gesture(uint16_t type, clap_id id, uint32_t time = 0);

/// Input events for one call: parameter values, in the order given.
class InputEvents {
public:
    InputEvents();
    void add(clap_id id, double value, uint32_t time = 0);
    void clear() { events.clear(); }
    const clap_input_events_t* list() const { return &record; }

private:
    clap_input_events_t record;
    std::vector<clap_event_param_value_t> events;
};

/// What the plug-in pushes; `capacity` events at most, then it refuses.
class OutputEvents {
public:
    explicit OutputEvents(std::size_t capacity = 1 << 16);
    const clap_output_events_t* list() const { return &record; }
    std::vector<Event> events;

private:
    clap_output_events_t record;
    std::size_t capacity;
};

class Host {
public:
    Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    const clap_host_t* record() const { return &host; }
    std::thread::id mainThread() const { return main; }

    // Which extensions the plug-in is offered.
    bool offerTimers = true;
    bool offerDescriptors = true;
    bool refuseTimers = false;  // offered, but every registration fails

    // What the plug-in asked for.
    std::atomic<int> flushRequests{0};
    std::atomic<int> rescans{0};
    std::atomic<int> restarts{0};
    std::atomic<int> latencyChanges{0};
    std::vector<std::string> presetsLoaded, presetErrors;  // load keys
    std::vector<std::string> violations;  // main-thread calls from another thread
    std::mutex violationsLock;

    struct Timer {
        clap_id id;
        uint32_t period;
    };
    std::vector<Timer> timers;
    std::vector<int> descriptors;

private:
    friend struct HostCalls;
    void mainThreadOnly(const char* call);

    clap_host_t host;
    std::thread::id main;
    clap_id nextTimer = 7;
};

/// One instance, made, initialised and destroyed by the host's thread.
class Plugin {
public:
    explicit Plugin(Host& host);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const clap_plugin_t* operator->() const { return plugin; }
    const clap_plugin_t* get() const { return plugin; }
    template <typename T>
    const T* extension(const char* id) const {
        return static_cast<const T*>(plugin->get_extension(plugin, id));
    }
    const clap_plugin_params_t& params() const { return *extension<clap_plugin_params_t>(CLAP_EXT_PARAMS); }

    bool activate(double sampleRate = 44100.0, uint32_t maxFrames = 1024);
    void deactivate();
    double value(clap_id id) const;
    /// Values set through params.flush, as a host does while inactive.
    void flushValues(const std::vector<std::pair<clap_id, double>>& values, OutputEvents* out = nullptr);

    /// One block: separate input and output buffers, two channels each.
    clap_process_status process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                                uint32_t frames, const InputEvents* in = nullptr, OutputEvents* out = nullptr,
                                uint64_t* constantMask = nullptr);

    /// The state as saved, written in pieces of at most `chunk` bytes.
    std::vector<uint8_t> save(std::size_t chunk = 1 << 20) const;
    /// Loads `bytes`, read in pieces of at most `chunk`; with `failAt` the
    /// stream reports an error once that many bytes are read.
    bool load(const std::vector<uint8_t>& bytes, std::size_t chunk = 1 << 20, std::size_t failAt = SIZE_MAX);

private:
    const clap_plugin_t* plugin = nullptr;
    bool active = false;
    OutputEvents refused{0};  // where a call without a list of the test's own pushes: it takes nothing
};

using ::Vst2Plugin;

/// Every test ends with no main-thread call of the host made from another thread.
class ClapTest : public ::testing::Test {
protected:
    void TearDown() override;
    Host host;
};

}  // namespace claphost
