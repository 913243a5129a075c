// Fuzz target: state a VST 3 host hands back (a project from elsewhere, a
// damaged file), through all three entries that take it, read in chunks of
// any size. Findings: a crash or out-of-bounds read; a refused state that
// changed anything; an accepted one that does not read back as itself.
#include <algorithm>
#include <cstring>
#include <vector>

#include "tests/fuzz/fuzz_input.h"
#include "platform/vst3/editing.h"
#include "vst3/factory.h"
#include "vst3/state.h"

namespace fuzzing {
namespace {

using namespace vst3;

// What a host's stream does: hands out at most `chunk` bytes per read.
class ByteStream final : public IBStream {
public:
    ByteStream(const std::uint8_t* data, std::size_t size, int32 chunk) : data(data), size(size), chunk(chunk) {}
    tresult VST3_API queryInterface(const TUID, void** obj) override {
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 VST3_API addRef() override { return 1; }
    uint32 VST3_API release() override { return 1; }
    tresult VST3_API read(void* buffer, int32 numBytes, int32* numBytesRead) override {
        const auto count = static_cast<int32>(std::min<std::size_t>({static_cast<std::size_t>(std::max(numBytes, 0)),
                                                                     size - position, static_cast<std::size_t>(chunk)}));
        std::memcpy(buffer, data + position, static_cast<std::size_t>(count));
        position += static_cast<std::size_t>(count);
        if (numBytesRead) *numBytesRead = count;
        return count > 0 ? kResultOk : kResultFalse;
    }
    tresult VST3_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override {
        written.insert(written.end(), static_cast<std::uint8_t*>(buffer), static_cast<std::uint8_t*>(buffer) + numBytes);
        if (numBytesWritten) *numBytesWritten = numBytes;
        return kResultOk;
    }
    tresult VST3_API seek(int64, int32, int64*) override { return kNotImplemented; }
    tresult VST3_API tell(int64* pos) override {
        *pos = static_cast<int64>(position);
        return kResultOk;
    }

    std::vector<std::uint8_t> written;

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
    int32 chunk;
};

std::vector<std::uint8_t> stateOf(IComponent* component) {
    ByteStream out(nullptr, 0, 0);
    check(component->getState(&out) == kResultOk, "getState failed");
    return out.written;
}

}  // namespace

int runVst3State(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t how = input.byte();
    const int32 chunk = (how & 0x3F) == 0 ? 1 << 20 : how & 0x3F;
    const std::size_t skip = std::min<std::size_t>(size, 1);

    PClassInfo info{};
    IPluginFactory* factory = vst3face::pluginFactory();
    factory->getClassInfo(0, &info);
    void* obj = nullptr;
    check(factory->createInstance(info.cid, IComponent::iid.bytes, &obj) == kResultOk, "no instance");
    auto* component = static_cast<IComponent*>(obj);
    component->initialize(nullptr);
    void* controllerObj = nullptr;
    component->queryInterface(IEditController::iid.bytes, &controllerObj);
    check(controllerObj != nullptr, "no controller");
    auto* controller = static_cast<IEditController*>(controllerObj);
    controller->setParamNormalized(7, 3.0 / 9.0);
    controller->setParamNormalized(1, 0.3);

    const std::vector<std::uint8_t> before = stateOf(component);
    ByteStream stream(data + skip, size - skip, chunk);
    tresult result = kResultFalse;
    switch ((how >> 6) % 3) {
        case 0: result = component->setState(&stream); break;
        case 1: result = controller->setComponentState(&stream); break;
        default: result = controller->setState(&stream); break;
    }
    const std::vector<std::uint8_t> after = stateOf(component);
    const auto decoded = vst3face::decodeState(data + skip, size - skip);
    if (result == kResultOk) {
        check(decoded.has_value(), "accepted a state that is no record");
        const auto now = vst3face::decodeState(after.data(), after.size());
        check(now.has_value(), "saved a state it cannot read");
        // Every parameter holds the step the record gave it, or its default where the record has none.
        check(now->raw == decoded->raw, "a value, the program or bypass not restored");
    } else {
        check(!decoded.has_value(), "refused a valid record");
        check(after == before, "a refused state changed the effect");
    }
    controller->release();
    component->terminate();
    component->release();
    return 0;
}

}  // namespace fuzzing

#if defined(VARNOX_FUZZ_ENTRY)
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzing::runVst3State(data, size);
}
#endif
