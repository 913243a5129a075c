#include "tests/support/vst2_reference.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "platform/dynamic_library.h"

namespace {

intptr_t VSTCALLBACK vst2Host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

VstEntryProc vst2Entry() {
    static DynamicLibrary library;
    static VstEntryProc entry = [] {
        if (!library.open(VARNOX_PLUGIN_PATH)) throw std::runtime_error("cannot load " VARNOX_PLUGIN_PATH);
        return reinterpret_cast<VstEntryProc>(library.symbol("main"));
    }();
    return entry;
}

}  // namespace

Vst2Plugin::Vst2Plugin() {
    record = vst2Entry()(&vst2Host);
    if (!record) throw std::runtime_error("main made no effect");
}

Vst2Plugin::~Vst2Plugin() { dispatch(effClose); }

intptr_t Vst2Plugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

std::string Vst2Plugin::text(int32_t opcode, int32_t index) {
    char buffer[256] = {};
    dispatch(opcode, index, 0, buffer);
    return buffer;
}

void Vst2Plugin::start(float sampleRate, int32_t blockSize) {
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
}

void Vst2Plugin::process(float* inLeft, float* inRight, float* outLeft, float* outRight, int32_t frames) {
    float* inputs[2] = {inLeft, inRight};
    float* outputs[2] = {outLeft, outRight};
    record->processReplacing(record, inputs, outputs, frames);
}

void expectSameSamples(const Rendered& got, const Rendered& expected, const std::string& what) {
    ASSERT_EQ(got.left.size(), expected.left.size()) << what;
    for (std::size_t i = 0; i < got.left.size(); ++i) {
        if (std::memcmp(&got.left[i], &expected.left[i], sizeof(float)) != 0 ||
            std::memcmp(&got.right[i], &expected.right[i], sizeof(float)) != 0) {
            FAIL() << what << ": frame " << i << " differs: " << got.left[i] << ", " << got.right[i] << " here, "
                   << expected.left[i] << ", " << expected.right[i] << " from VST 2";
        }
    }
}
