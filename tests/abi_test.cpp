// The record as a host compiled against the published layout reads it: by byte
// offset from the address main hands out, not through our struct.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "tests/support/test_effect.h"

namespace {

struct Offsets {
    std::size_t dispatcher, process, setParameter, getParameter, numPrograms, numParams, numInputs,
        numOutputs, flags, initialDelay, ioRatio, object, uniqueID, version, processReplacing, future,
        size;
};

#if INTPTR_MAX == INT32_MAX
constexpr Offsets kOffsets{4, 8, 12, 16, 20, 24, 28, 32, 36, 48, 60, 64, 72, 76, 80, 84, 144};
#else
constexpr Offsets kOffsets{8, 16, 24, 32, 40, 44, 48, 52, 56, 80, 92, 96, 112, 116, 120, 128, 192};
#endif

template <typename T>
T readAt(const AEffect* record, std::size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(record) + offset, sizeof value);
    return value;
}

TEST(Abi, FourCharacterCodesPutTheFirstCharacterHighest) {
    EXPECT_EQ(fourCharCode('V', 's', 't', 'P'), 0x56737450);
    EXPECT_EQ(kEffectMagic, 0x56737450);
    EXPECT_EQ(fourCharCode('N', 'v', 'E', 'f'), 0x4E764566);
    // Characters above 127 must not sign-extend into the other bytes.
    EXPECT_EQ(static_cast<uint32_t>(fourCharCode('\xff', 0, 0, '\x80')), 0xFF000080u);
}

TEST(Abi, RecordFieldsAtTheirPublishedOffsets) {
    BareEffect effect;
    effect.record()->flags = effFlagsHasEditor | effFlagsCanReplacing;
    const AEffect* r = effect.record();
    EXPECT_EQ(sizeof(AEffect), kOffsets.size);
    EXPECT_EQ(readAt<int32_t>(r, 0), 0x56737450);
    EXPECT_EQ(readAt<AEffectDispatcherProc>(r, kOffsets.dispatcher), &EffectBase::dispatchEntry);
    EXPECT_EQ(readAt<AEffectProcessProc>(r, kOffsets.process), &EffectBase::processEntry);
    EXPECT_EQ(readAt<AEffectSetParameterProc>(r, kOffsets.setParameter), &EffectBase::setParameterEntry);
    EXPECT_EQ(readAt<AEffectGetParameterProc>(r, kOffsets.getParameter), &EffectBase::getParameterEntry);
    EXPECT_EQ(readAt<int32_t>(r, kOffsets.numPrograms), 4);
    EXPECT_EQ(readAt<int32_t>(r, kOffsets.numParams), 3);
    EXPECT_EQ(readAt<int32_t>(r, kOffsets.numInputs), 1);
    EXPECT_EQ(readAt<int32_t>(r, kOffsets.numOutputs), 2);
    EXPECT_EQ(readAt<int32_t>(r, kOffsets.flags), effFlagsHasEditor | effFlagsCanReplacing);
    EXPECT_EQ(readAt<int32_t>(r, kOffsets.initialDelay), 0);
    EXPECT_EQ(readAt<float>(r, kOffsets.ioRatio), 2.0f);
    EXPECT_EQ(readAt<void*>(r, kOffsets.object), static_cast<void*>(static_cast<EffectBase*>(&effect)));
    EXPECT_EQ(readAt<int32_t>(r, kOffsets.uniqueID), 0x4E6F4566);  // 'NoEf'
    EXPECT_EQ(readAt<int32_t>(r, kOffsets.version), 2);
    EXPECT_EQ(readAt<AEffectProcessProc>(r, kOffsets.processReplacing), &EffectBase::processReplacingEntry);
    for (std::size_t i = kOffsets.future; i < kOffsets.size; ++i) EXPECT_EQ(readAt<char>(r, i), 0) << i;
}

TEST(Abi, DispatcherReachedThroughTheRawPointer) {
    BareEffect effect;
    const AEffect* r = effect.record();
    const auto dispatcher = readAt<AEffectDispatcherProc>(r, kOffsets.dispatcher);
    ASSERT_NE(dispatcher, nullptr);
    EXPECT_EQ(dispatcher(effect.record(), effGetVstVersion, 0, 0, nullptr, 0.0f), 2);
    EXPECT_EQ(dispatcher(effect.record(), effIdentify, 0, 0, nullptr, 0.0f), 0x4E764566);
}

}  // namespace
