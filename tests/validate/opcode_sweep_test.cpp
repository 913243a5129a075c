// Every opcode a host could send, with edge arguments, into a guarded buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "tests/validate/opcode_limits.h"
#include "tests/validate/validation_host.h"

namespace {

constexpr int32_t kFirstOpcode = -16;
constexpr int32_t kLastOpcode = 128;
constexpr std::size_t kBufferSize = 1024;
constexpr unsigned char kGuard = 0xA5;

bool inRange(int64_t value, int64_t low, int64_t high) {
    return value >= low && value <= high;
}

// What the plug-in answers for a served opcode, given the program current
// before the call; nullopt where the answer is not fixed.
std::optional<intptr_t> expectedAnswer(int32_t opcode, int32_t index, int32_t program) {
    switch (opcode) {
        case effGetProgram:
            return program;
        case effEditGetRect:
            return 1;
        case effEditOpen:
            return 0;  // the buffer's address is no window
        case effIdentify:
            return fourCharCode('N', 'v', 'E', 'f');
        case effCanBeAutomated:
        case effGetNumProgramCategories:
        case effConnectInput:
        case effConnectOutput:
        case effSetBlockSizeAndSampleRate:
        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString:
        case effKeysRequired:
            return 1;
        case effGetProgramNameIndexed:
        case effCopyProgram:
            return inRange(index, 0, 9) ? 1 : 0;
        case effGetInputProperties:
        case effGetOutputProperties:
            return inRange(index, 0, 1) ? 1 : 0;
        case effCanDo:
            return -1;  // the buffer holds the empty text
        case effGetVstVersion:
            return 2;
        default:
            // Everything else, served or not, answers 0.
            return 0;
    }
}

const int32_t kIndices[] = {
    0, 1, -1, 2, 9, 10, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()};
const intptr_t kValues[] = {
    0, 1, -1, 9, 10, 4096, std::numeric_limits<int32_t>::max(), std::numeric_limits<intptr_t>::max()};
const float kOpts[] = {0.0f,
                       1.0f,
                       -1.0f,
                       2147483647.0f,
                       1.0e30f,
                       std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity()};

}  // namespace

TEST(OpcodeSweep, EveryOpcodeWithEdgeArgumentsStaysInsideItsBuffer) {
    Effect effect;
    int32_t program = 0;
    std::vector<unsigned char> buffer(kBufferSize);
    int calls = 0;
    for (int32_t opcode = kFirstOpcode; opcode <= kLastOpcode; ++opcode) {
        if (opcode == effClose) continue;  // lifecycle tests close with edge arguments
        const std::size_t writable = writableBytes(opcode);
        for (const int32_t index : kIndices) {
            for (const intptr_t value : kValues) {
                for (const float opt : kOpts) {
                    // Zeroed where the plug-in may write (at least the first byte, so
                    // texts going in are empty), guard bytes after.
                    const std::size_t zeroed = std::max<std::size_t>(writable, 1);
                    std::fill(buffer.begin(), buffer.begin() + zeroed, 0);
                    std::fill(buffer.begin() + zeroed, buffer.end(), kGuard);
                    const std::vector<unsigned char> before = buffer;

                    const intptr_t answer = effect.dispatch(opcode, index, value, buffer.data(), opt);
                    ++calls;

                    const auto context = [&] {
                        return ::testing::Message() << "opcode " << opcode << " index " << index << " value "
                                                    << value << " opt " << opt;
                    };
                    for (std::size_t i = writable; i < kBufferSize; ++i) {
                        ASSERT_EQ(buffer[i], before[i]) << context() << ": byte " << i << " written";
                    }
                    if (const auto expected = expectedAnswer(opcode, index, program)) {
                        ASSERT_EQ(answer, *expected) << context();
                    }
                    if (opcode == effSetProgram && inRange(value, 0, 9))
                        program = static_cast<int32_t>(value);
                    if (opcode == effEditOpen) effect.dispatch(effEditClose);
                }
            }
        }
    }
    EXPECT_EQ(calls, 144 * 8 * 8 * 8);

    // The record is untouched by all of it and the instance still plays.
    EXPECT_EQ(effect.record()->magic, kEffectMagic);
    EXPECT_EQ(effect.record()->flags, 25);
    EXPECT_EQ(effect.record()->numParams, 6);
    effect.start(44100.0f, 256);
    std::vector<float> in(256, 0.25f), out(256, 7.0f);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out.data(), out.data()};
    effect.processReplacing(inputs, outputs, 256);
    for (const float x : out) ASSERT_TRUE(cleanSample(x) && std::fabs(x) <= 1.0f);
}

TEST(OpcodeSweep, NullPointerForEveryOpcode) {
    Effect effect;
    for (int32_t opcode = kFirstOpcode; opcode <= kLastOpcode; ++opcode) {
        if (opcode == effClose) continue;
        for (const int32_t index : {0, 1, 10}) {
            for (const intptr_t value : {intptr_t{0}, intptr_t{1}, intptr_t{-1}}) {
                const intptr_t answer = effect.dispatch(opcode, index, value, nullptr, 44100.0f);
                // Nothing the host asked for through ptr can be answered as done.
                if (writableBytes(opcode) > 0) {
                    EXPECT_EQ(answer, 0) << "opcode " << opcode;
                }
            }
        }
    }
    EXPECT_EQ(effect.close(0, 0, nullptr, 0.0f), 1);
}

TEST(OpcodeSweep, AnswersWrittenThroughPointersAreWhole) {
    Effect effect;
    ERect* rect = nullptr;
    ASSERT_EQ(effect.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->bottom, 140);
    EXPECT_EQ(rect->right, 500);

    void* chunk = reinterpret_cast<void*>(uintptr_t{0x1234});
    EXPECT_EQ(effect.dispatch(effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(chunk, reinterpret_cast<void*>(uintptr_t{0x1234}));

    for (const int32_t opcode : {effGetInputProperties, effGetOutputProperties}) {
        for (int32_t pin = 0; pin < 2; ++pin) {
            VstPinProperties properties{};
            ASSERT_EQ(effect.dispatch(opcode, pin, 0, &properties), 1);
            EXPECT_EQ(std::string(properties.label), "VX " + std::to_string(pin + 1));
            EXPECT_EQ(properties.flags, kVstPinIsActive | kVstPinIsStereo);
        }
    }
    for (const char* capability : {"plugAsChannelInsert", "plugAsSend"}) {
        std::string text(capability);
        EXPECT_EQ(effect.dispatch(effCanDo, 0, 0, text.data()), 1) << capability;
    }
    for (const char* capability : {"", "plugAsSend ", "PlugAsSend", "receiveVstEvents", "bypass"}) {
        std::string text(capability);
        EXPECT_EQ(effect.dispatch(effCanDo, 0, 0, text.data()), -1) << capability;
    }
    EXPECT_EQ(effect.text(effGetEffectName), "ORv Varnox");
    EXPECT_EQ(effect.text(effGetProductString), "Orv Varnox");
    EXPECT_EQ(effect.text(effGetVendorString), "Zem v1.0");
}
