#include "tests/vst3/vst3_host.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace vst3host {

// --- MemoryStream

tresult VST3_API MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
    if (numBytes < 0 || (!buffer && numBytes > 0)) return kInvalidArgument;
    const int64 left = std::max<int64>(0, static_cast<int64>(data.size()) - position);
    const auto count = static_cast<int32>(std::min<int64>({numBytes, left, chunk}));
    if (count > 0) std::memcpy(buffer, data.data() + position, static_cast<std::size_t>(count));
    position += count;
    if (numBytesRead) *numBytesRead = count;
    return count > 0 || numBytes == 0 ? kResultOk : kResultFalse;
}

tresult VST3_API MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
    if (numBytes < 0 || (!buffer && numBytes > 0)) return kInvalidArgument;
    const auto end = static_cast<std::size_t>(position) + static_cast<std::size_t>(numBytes);
    if (data.size() < end) data.resize(end);
    if (numBytes > 0) std::memcpy(data.data() + position, buffer, static_cast<std::size_t>(numBytes));
    position = static_cast<int64>(end);
    if (numBytesWritten) *numBytesWritten = numBytes;
    return kResultOk;
}

tresult VST3_API MemoryStream::seek(int64 pos, int32 mode, int64* result) {
    const int64 base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? position : static_cast<int64>(data.size());
    if (base + pos < 0) return kInvalidArgument;
    position = base + pos;
    if (result) *result = position;
    return kResultOk;
}

tresult VST3_API MemoryStream::tell(int64* pos) {
    if (!pos) return kInvalidArgument;
    *pos = position;
    return kResultOk;
}

// --- RunLoopFrame

tresult VST3_API RunLoopFrame::registerEventHandler(IEventHandler* handler, FileDescriptor fd) {
    eventHandlers.emplace_back(handler, fd);
    return kResultOk;
}

tresult VST3_API RunLoopFrame::unregisterEventHandler(IEventHandler* handler) {
    const auto at = std::find_if(eventHandlers.begin(), eventHandlers.end(),
                                 [&](const auto& watch) { return watch.first == handler; });
    if (at == eventHandlers.end()) return kInvalidArgument;
    eventHandlers.erase(at);
    return kResultOk;
}

tresult VST3_API RunLoopFrame::registerTimer(ITimerHandler* handler, TimerInterval milliseconds) {
    timers.emplace_back(handler, milliseconds);
    return kResultOk;
}

tresult VST3_API RunLoopFrame::unregisterTimer(ITimerHandler* handler) {
    const auto at = std::find_if(timers.begin(), timers.end(), [&](const auto& t) { return t.first == handler; });
    if (at == timers.end()) return kInvalidArgument;
    timers.erase(at);
    return kResultOk;
}

// --- Module

Module::Module(const std::string& bundle) {
    const std::string path = bundle + "/Contents/x86_64-linux/Varnox.so";
    if (!library_.open(path)) throw std::runtime_error("cannot load " + path + ": " + library_.error());
    using EntryProc = bool (*)(void*);
    auto entry = reinterpret_cast<EntryProc>(library_.symbol("ModuleEntry"));
    auto getFactory = reinterpret_cast<GetFactoryProc>(library_.symbol("GetPluginFactory"));
    if (!entry || !getFactory || !entry(nullptr)) throw std::runtime_error(path + ": no module entry");
    factory_ = getFactory();
    if (!factory_) throw std::runtime_error(path + ": no factory");
}

Module::~Module() {
    if (factory_) factory_->release();
    using ExitProc = bool (*)();
    if (auto exit = reinterpret_cast<ExitProc>(library_.symbol("ModuleExit"))) exit();
}

Module& bundle() {
    static Module module(VARNOX_VST3_BUNDLE);
    return module;
}

// --- Plugin

namespace {
template <typename I>
void releaseOnce(I*& object) {
    if (object) object->release();
    object = nullptr;
}
}  // namespace

Plugin::Plugin(IPluginFactory* factory) {
    PClassInfo info{};
    if (factory->getClassInfo(0, &info) != kResultOk) throw std::runtime_error("no class");
    void* obj = nullptr;
    if (factory->createInstance(info.cid, IComponent::iid.bytes, &obj) != kResultOk || !obj)
        throw std::runtime_error("createInstance failed");
    component = static_cast<IComponent*>(obj);
    if (component->initialize(nullptr) != kResultOk) throw std::runtime_error("initialize failed");
    processor = queried<IAudioProcessor>(component);
    controller = queried<IEditController>(component);
    units = queried<IUnitInfo>(component);
}

Plugin::~Plugin() {
    component->setActive(false);
    component->terminate();
    releaseOnce(units);
    releaseOnce(controller);
    releaseOnce(processor);
    releaseOnce(component);
}

void Plugin::start(double sampleRate, int32 maxBlock) {
    ProcessSetup setup{kRealtime, kSample32, maxBlock, sampleRate};
    processor->setupProcessing(setup);
    component->setActive(true);
    processor->setProcessing(true);
}

tresult Plugin::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int32 frames,
                        IParameterChanges* in, IParameterChanges* out, uint64* silence, uint64 inputSilence) {
    StereoBlock block;
    block.inputs[0] = const_cast<float*>(inLeft);
    block.inputs[1] = const_cast<float*>(inRight);
    block.outputs[0] = outLeft;
    block.outputs[1] = outRight;
    block.inBus.silenceFlags = inputSilence;
    block.data.processMode = kRealtime;
    block.data.numSamples = frames;
    block.data.inputParameterChanges = in;
    block.data.outputParameterChanges = out;
    const tresult result = processor->process(block.data);
    if (silence) *silence = block.outBus.silenceFlags;
    return result;
}

std::vector<uint8_t> Plugin::state() {
    MemoryStream stream;
    component->getState(&stream);
    return stream.data;
}

std::string toAscii(const char16_t* text) {
    std::string out;
    for (; text && *text; ++text) out += static_cast<char>(*text);
    return out;
}

std::u16string toUtf16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace vst3host
