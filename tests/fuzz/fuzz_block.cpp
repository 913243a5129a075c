// Fuzz target: the block path. Parameter and program changes, setup changes
// with and without a switch-off, pin answers, buffer aliasing, and blocks of
// any size filled with any bit patterns. Findings: a crash or out-of-bounds
// access (the buffers are sized exactly), or an output sample that is NaN,
// infinite or subnormal.
#include <algorithm>
#include <cmath>
#include <vector>

#include "host/effect_base.h"
#include "product/shaper_effect_edit.h"
#include "tests/fuzz/fuzz_input.h"

namespace fuzzing {
namespace {

constexpr int kMaxSteps = 400;
constexpr int32_t kMaxFrames = 9000;

// Pin answers for the running input: bit 0 input 0, bit 1 input 1, bit 2
// output 0, bit 3 output 1; a set bit means "not connected".
thread_local unsigned pinPattern = 0;

intptr_t VSTCALLBACK hostCallback(AEffect*, int32_t opcode, int32_t index, intptr_t value, void*, float) {
    switch (opcode) {
        case audioMasterVersion:
            return 2400;
        case audioMasterPinConnected: {
            const unsigned bit = (value ? 2u : 0u) + (index == 0 ? 0u : 1u);
            return (pinPattern >> bit) & 1u;
        }
        default:
            return 0;
    }
}

bool clean(float x) {
    return std::isfinite(x) && std::fpclassify(x) != FP_SUBNORMAL;
}

void playBlock(AEffect* effect, FuzzInput& input) {
    const std::uint8_t shape = input.byte();
    const int32_t frames =
        static_cast<int32_t>(input.raw<std::uint16_t>() % kMaxFrames) - (shape & 1 ? 0 : 4);
    const std::size_t size = static_cast<std::size_t>(std::max<int32_t>(frames, 0));
    std::vector<float> inL(size), inR(size), outL(size), outR(size);

    // Samples: raw bit patterns from the input, repeated when it runs short,
    // or a tone at a level the input chooses.
    const float level = input.edgeFloat();
    const bool rawSamples = shape & 2;
    std::vector<float> pattern;
    if (rawSamples) {
        for (int i = 0; i < 16 && !input.empty(); ++i) pattern.push_back(input.raw<float>());
        if (pattern.empty()) pattern.push_back(level);
    }
    for (std::size_t i = 0; i < size; ++i) {
        inL[i] = rawSamples ? pattern[i % pattern.size()] : level * std::sin(0.01f * static_cast<float>(i));
        inR[i] = rawSamples ? pattern[(i + 7) % pattern.size()] : -inL[i];
    }

    const std::vector<float> originalL = inL;
    const std::vector<float> originalR = inR;

    // Aliasing as hosts do it: one input buffer for both sides, one output
    // buffer for both, or processing in place.
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    if (shape & 4) inputs[1] = inputs[0];
    if (shape & 8) outputs[1] = outputs[0];
    const bool inPlace = shape & 16;
    if (inPlace) {
        outputs[0] = inputs[0];
        outputs[1] = inputs[1];
    }
    const bool accumulate = shape & 32;
    if (accumulate) {
        effect->process(effect, inputs, outputs, frames);
    } else {
        effect->processReplacing(effect, inputs, outputs, frames);
    }

    // Out of place, the outputs started at zero: every sample must be clean.
    // In place, a sample the effect did not write (switched off, pin not
    // connected) still holds the host's input, which may be anything.
    for (int k = 0; k < 2; ++k) {
        const float* out = outputs[k];
        const std::vector<float>& original = out == inL.data() ? originalL : originalR;
        for (std::size_t i = 0; i < size; ++i) {
            check(clean(out[i]) || (inPlace && !clean(original[i])), "unclean output sample");
        }
    }
}

}  // namespace

int runBlock(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    pinPattern = 0;
    AEffect* effect = createEffectInstance(&hostCallback);
    check(effect != nullptr, "main made no instance");
    const auto dispatch = [effect](int32_t opcode, int32_t index, intptr_t value, float opt) {
        return effect->dispatcher(effect, opcode, index, value, nullptr, opt);
    };

    // A host's usual start, with the input choosing rate, size and program.
    static constexpr float kRates[] = {22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f};
    const std::uint8_t setup = input.byte();
    dispatch(effSetSampleRate, 0, 0, setup & 8 ? input.edgeFloat() : kRates[setup % 5]);
    dispatch(effSetBlockSize, 0, setup & 16 ? static_cast<intptr_t>(input.edgeInteger()) : 64 << (setup % 6),
             0.0f);
    dispatch(effSetProgram, 0, input.byte() % 10, 0.0f);
    dispatch(effMainsChanged, 0, 1, 0.0f);

    for (int steps = 0; steps < kMaxSteps && !input.empty(); ++steps) {
        const std::uint8_t op = input.byte();
        switch (op % 10) {
            case 0:
            case 1:
                effect->setParameter(effect, static_cast<int32_t>(input.byte() % 6), input.edgeFloat());
                break;
            case 2:
                dispatch(effSetProgram, 0, static_cast<intptr_t>(input.edgeInteger()), 0.0f);
                break;
            case 3:
                pinPattern = input.byte();
                break;
            case 4:
                // Setup changes, with or without the switch-off hosts should send first.
                if (op & 16) dispatch(effMainsChanged, 0, 0, 0.0f);
                dispatch(op & 32 ? effSetSampleRate : effSetBlockSize, 0,
                         static_cast<intptr_t>(input.edgeInteger() % 20000), input.edgeFloat());
                if (op & 64)
                    dispatch(effSetBlockSizeAndSampleRate, 0, input.raw<std::uint16_t>(), input.edgeFloat());
                if (op & 128) dispatch(effMainsChanged, 0, 1, 0.0f);
                break;
            default:
                playBlock(effect, input);
                break;
        }
        for (int32_t i = 0; i < 6; ++i) {
            const float value = effect->getParameter(effect, i);
            check(value >= 0.0f && value <= 1.0f, "parameter reads outside 0..1");
        }
    }
    dispatch(effClose, 0, 0, 0.0f);
    return 0;
}

}  // namespace fuzzing

#if defined(VARNOX_FUZZ_ENTRY)
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzing::runBlock(data, size);
}
#endif
