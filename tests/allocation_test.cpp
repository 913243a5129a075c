// The block path must not allocate: a host calls it on its audio thread, where
// the allocator may block. A counting global allocator watches it, and also
// measures what one instance holds on the heap.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "editor/skin_editor.h"
#include "engine/shaper_effect.h"
#include "host/effect_base.h"
#include "product/shaper_effect_edit.h"
#include "tests/support/allocation_counter.h"

namespace {

// Pin answers for the next calls: 0 is connected. Recording nothing, so that
// the host itself allocates nothing either.
intptr_t pinAnswer[2][2] = {};  // [output][index]

intptr_t VSTCALLBACK quietHost(AEffect*, int32_t opcode, int32_t index, intptr_t value, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterPinConnected && (index == 0 || index == 1)) return pinAnswer[value != 0][index];
    return 0;
}

// Allocations made on this thread while it is alive.
class Counter {
public:
    std::size_t count() const { return allocations::onThisThread() - count_; }
    std::size_t bytes() const { return allocations::bytesOnThisThread() - bytes_; }

private:
    std::uint64_t count_ = allocations::onThisThread();
    std::uint64_t bytes_ = allocations::bytesOnThisThread();
};

struct Effect {
    AEffect* record = createEffectInstance(quietHost);
    ~Effect() { record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f); }
    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, float opt = 0.0f) const {
        return record->dispatcher(record, opcode, index, value, nullptr, opt);
    }
};

TEST(Allocation, TheBlockPathAllocatesNothing) {
    if (!allocations::counting()) GTEST_SKIP() << "allocation counting is off in sanitizer builds";
    Effect fx;
    ASSERT_NE(fx.record, nullptr);
    fx.dispatch(effSetProgram, 0, 9);
    fx.dispatch(effSetSampleRate, 0, 0, 48000.0f);
    fx.dispatch(effSetBlockSize, 0, 256);
    fx.dispatch(effMainsChanged, 0, 1);

    std::vector<float> a(5000, 0.4f), b(5000, -0.7f), c(5000), d(5000);
    float* in[2] = {a.data(), b.data()};
    float* out[2] = {c.data(), d.data()};
    float* mono[2] = {a.data(), a.data()};
    float* inPlace[2] = {c.data(), d.data()};

    const Counter counter;
    for (const float timesTwo : {1.0f, 0.0f}) {
        fx.record->setParameter(fx.record, kTimesTwo, timesTwo);
        for (const int32_t frames : {256, 1, 0, 5000}) {  // 5000 runs past the work buffers
            fx.record->processReplacing(fx.record, in, out, frames);
            fx.record->process(fx.record, in, out, frames);
            fx.record->processReplacing(fx.record, mono, out, frames);
            fx.record->processReplacing(fx.record, inPlace, inPlace, frames);
        }
    }
    pinAnswer[0][1] = 1;  // input 1 unplugged: the left channel feeds both outputs
    fx.record->processReplacing(fx.record, in, out, 256);
    pinAnswer[0][1] = 0;
    EXPECT_EQ(counter.count(), 0u) << counter.bytes() << " bytes";
}

// Not a limit so much as a record: prints what an instance costs.
TEST(Allocation, InstanceFootprint) {
    if (!allocations::counting()) GTEST_SKIP() << "allocation counting is off in sanitizer builds";
    std::size_t created = 0;
    std::size_t switchedOn = 0;
    {
        Effect* fx = nullptr;
        {
            const Counter counter;
            fx = new Effect;
            created = counter.bytes() - sizeof(Effect);
        }
        ASSERT_NE(fx->record, nullptr);
        fx->dispatch(effSetBlockSize, 0, 512);
        {
            const Counter counter;
            fx->dispatch(effMainsChanged, 0, 1);
            switchedOn = counter.bytes();
        }
        delete fx;
    }
    std::printf(
        "[ footprint ] ShaperEffectEdit %zu bytes, SkinEditor %zu bytes, whole instance on the heap "
        "%zu bytes; work buffers at block size 512: %zu bytes\n",
        sizeof(ShaperEffectEdit), sizeof(SkinEditor), created, switchedOn);
    EXPECT_GE(created, sizeof(ShaperEffectEdit) + sizeof(SkinEditor));
    EXPECT_LE(switchedOn, std::size_t{16} << 10);  // the two work buffers, nothing more
}

}  // namespace
