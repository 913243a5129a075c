// A small VST 3 host for the tests: the module loaded as hosts load it, the
// host objects a plug-in talks to (streams, parameter changes, the edit
// handler, a frame with a run loop), and the VST 2 library beside it for
// comparison.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/vst2.h"
#include "tests/support/vst2_reference.h"
#include "platform/vst3/editing.h"
#include "platform/vst3/view.h"
#include "tests/vst3/host_objects.h"

namespace vst3host {

using namespace vst3;

/// A stream in memory; reads hand out at most `chunk` bytes at a time.
class MemoryStream : public HostObject<IBStream> {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}
    tresult VST3_API read(void* buffer, int32 numBytes, int32* numBytesRead) override;
    tresult VST3_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override;
    tresult VST3_API seek(int64 pos, int32 mode, int64* result) override;
    tresult VST3_API tell(int64* pos) override;

    std::vector<uint8_t> data;
    int64 position = 0;
    int32 chunk = 1 << 30;
};

/// Records what the plug-in tells its host.
class EditHandler : public HostObject<IComponentHandler> {
public:
    struct Call {
        char what;  // 'b' begin, 'p' perform, 'e' end, 'r' restart
        ParamID id;
        double value;
        bool operator==(const Call& o) const { return what == o.what && id == o.id && value == o.value; }
    };
    tresult VST3_API beginEdit(ParamID id) override { return note('b', id, 0.0); }
    tresult VST3_API performEdit(ParamID id, ParamValue value) override { return note('p', id, value); }
    tresult VST3_API endEdit(ParamID id) override { return note('e', id, 0.0); }
    tresult VST3_API restartComponent(int32 flags) override { return note('r', 0, flags); }
    std::vector<Call> calls;

private:
    tresult note(char what, ParamID id, double value) {
        calls.push_back({what, id, value});
        return kResultOk;
    }
};

/// A host frame that offers a run loop, as Linux hosts do.
class RunLoopFrame : public HostObject<IPlugFrame, IRunLoop> {
public:
    tresult VST3_API resizeView(IPlugView*, ViewRect* size) override {
        if (!size) return kInvalidArgument;
        resizes.push_back(*size);
        return kResultOk;
    }
    tresult VST3_API registerEventHandler(IEventHandler* handler, FileDescriptor) override;
    tresult VST3_API unregisterEventHandler(IEventHandler* handler) override;
    tresult VST3_API registerTimer(ITimerHandler* handler, TimerInterval milliseconds) override;
    tresult VST3_API unregisterTimer(ITimerHandler* handler) override;
    std::vector<std::pair<ITimerHandler*, TimerInterval>> timers;
    std::vector<std::pair<IEventHandler*, FileDescriptor>> eventHandlers;
    std::vector<ViewRect> resizes;
};

/// A loaded module and its factory.
class Module {
public:
    /// Loads the bundle's library; throws std::runtime_error when it cannot.
    explicit Module(const std::string& bundle);
    ~Module();
    IPluginFactory* factory() const { return factory_; }
    void* symbol(const char* name) { return library_.symbol(name); }

private:
    DynamicLibrary library_;
    IPluginFactory* factory_ = nullptr;
};

/// The bundle under test, loaded once for the whole run.
Module& bundle();

/// One instance as a host holds it: created, initialised, its interfaces at hand.
class Plugin {
public:
    explicit Plugin(IPluginFactory* factory);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
    IUnitInfo* units = nullptr;

    /// setupProcessing and setActive(true), then setProcessing(true).
    void start(double sampleRate = 44100.0, int32 maxBlock = 1024);
    /// One block, stereo in and out; the output silence flags go to `silence`.
    tresult process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int32 frames,
                    IParameterChanges* in = nullptr, IParameterChanges* out = nullptr, uint64* silence = nullptr,
                    uint64 inputSilence = 0);
    std::vector<uint8_t> state();
};

using ::Vst2Plugin;

std::string toAscii(const char16_t* text);
std::u16string toUtf16(const std::string& text);

}  // namespace vst3host
