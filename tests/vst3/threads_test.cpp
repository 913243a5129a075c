// Parameters set from two threads at once: the host's user-interface thread
// turns one knob while the audio thread applies automation of another from
// its queue. The sound must follow both, whatever the interleaving; here the
// interleaving that once lost an update is forced: the user-interface thread
// held inside its derivation, after it read the values, while the audio
// thread applies Drive and processes.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/effect_core.h"
#include "tests/vst3/vst3_host.h"
#include "tests/windows/host_script.h"
#include "vst3/factory.h"

namespace {

using namespace vst3host;

constexpr int32 kBlock = 256;

// Holds the one thread it is set for inside its next derivation, until released.
struct DerivationGate {
    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline std::thread::id heldThread;
    static inline bool armed = false;
    static inline bool held = false;
    static inline bool released = false;

    static void probe() {
        std::unique_lock<std::mutex> lock(mutex);
        if (!armed || std::this_thread::get_id() != heldThread) return;
        armed = false;
        held = true;
        changed.notify_all();
        changed.wait(lock, [] { return released; });
    }
    static void arm(std::thread::id thread) {
        std::lock_guard<std::mutex> lock(mutex);
        heldThread = thread;
        armed = true;
        held = released = false;
    }
    static void awaitHeld() {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [] { return held; });
    }
    static void release() {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }
};

struct Signal {
    std::vector<float> left, right;
    explicit Signal(int32 blocks) {
        const std::vector<float> input = hostscript::inputSignal();
        for (int32 i = 0; i < blocks * kBlock; ++i) {
            left.push_back(input[2 * i % input.size()] * 0.8f);
            right.push_back(input[(2 * i + 1) % input.size()] * 0.8f);
        }
    }
};

std::vector<float> processBlock(Plugin& plugin, const Signal& signal, int32 block, ParameterChanges* changes) {
    std::vector<float> outL(kBlock), outR(kBlock);
    EXPECT_EQ(plugin.process(&signal.left[block * kBlock], &signal.right[block * kBlock], outL.data(), outR.data(),
                             kBlock, changes),
              kResultOk);
    outL.insert(outL.end(), outR.begin(), outR.end());
    return outL;
}

TEST(Vst3Threads, AnUpdateOvertakenInsideADerivationIsNotLost) {
    constexpr int32 kBlocks = 40;
    const Signal signal(kBlocks);
    EffectCore::setDerivationProbe(&DerivationGate::probe);

    // The instance the threads race on, and one given the same changes in turn.
    Plugin raced(vst3face::pluginFactory());
    Plugin calm(vst3face::pluginFactory());
    raced.start(44100.0, kBlock);
    calm.start(44100.0, kBlock);
    ParameterChanges driveUp;
    driveUp.add(3, 0, 1.0);

    std::vector<float> racedOut, calmOut;
    for (int32 b = 0; b < 4; ++b) {
        racedOut = processBlock(raced, signal, b, nullptr);
        calmOut = processBlock(calm, signal, b, nullptr);
        ASSERT_EQ(racedOut, calmOut);
    }

    // The user-interface thread sets Ingain and is held inside its
    // derivation, having read Drive at 0; meanwhile the audio thread applies
    // Drive = 1 from its queue and processes.
    std::atomic<bool> armed{false};
    std::thread userInterface([&] {
        while (!armed) std::this_thread::yield();
        raced.controller->setParamNormalized(0, 0.75);
    });
    DerivationGate::arm(userInterface.get_id());
    armed = true;
    DerivationGate::awaitHeld();
    racedOut = processBlock(raced, signal, 4, &driveUp);
    DerivationGate::release();
    userInterface.join();
    EffectCore::setDerivationProbe(nullptr);

    calm.controller->setParamNormalized(0, 0.75);
    calmOut = processBlock(calm, signal, 4, &driveUp);
    EXPECT_EQ(racedOut, calmOut);
    EXPECT_EQ(raced.controller->getParamNormalized(3), 1.0);

    // From here on both must sound the same: Drive 1 and Ingain 96.
    for (int32 b = 5; b < kBlocks; ++b) {
        ASSERT_EQ(processBlock(raced, signal, b, nullptr), processBlock(calm, signal, b, nullptr))
            << "block " << b << ": the sound is off its parameters";
    }
}

}  // namespace
