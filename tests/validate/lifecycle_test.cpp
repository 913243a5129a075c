// Instances and editors as hosts create and drop them: many at once, in any
// order, with editors left open.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "tests/validate/validation_host.h"

namespace {

void expectFreshRecord(const AEffect& record) {
    EXPECT_EQ(record.magic, kEffectMagic);
    EXPECT_EQ(record.numPrograms, 10);
    EXPECT_EQ(record.numParams, 6);
    EXPECT_EQ(record.numInputs, 2);
    EXPECT_EQ(record.numOutputs, 2);
    EXPECT_EQ(record.flags, 25);
    EXPECT_EQ(record.uniqueID, fourCharCode('V', 'X', 'e', 'd'));
    EXPECT_NE(record.dispatcher, nullptr);
    EXPECT_NE(record.processReplacing, nullptr);
}

// A short stereo block through the instance; every output sample must be clean.
void playBlock(Effect& effect, int32_t frames, float level) {
    std::vector<float> inL(frames), inR(frames), outL(frames), outR(frames);
    for (int32_t i = 0; i < frames; ++i) {
        inL[i] = level * std::sin(0.05f * static_cast<float>(i));
        inR[i] = -inL[i];
    }
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    effect.processReplacing(inputs, outputs, frames);
    for (int32_t i = 0; i < frames; ++i) {
        ASSERT_TRUE(cleanSample(outL[i]) && cleanSample(outR[i])) << "sample " << i;
    }
}

}  // namespace

TEST(Lifecycle, ThousandInstancesCreatedAndClosedInterleaved) {
    constexpr int kInstances = 1000;
    constexpr std::size_t kMaxAlive = 9;
    std::mt19937 random(20261208);
    std::vector<std::unique_ptr<Effect>> alive;
    for (int made = 0; made < kInstances; ++made) {
        alive.push_back(std::make_unique<Effect>());
        Effect& effect = *alive.back();
        expectFreshRecord(*effect.record());
        ASSERT_EQ(effect.automations().size(), 6u) << "instance " << made;
        EXPECT_EQ(effect.record()->object != nullptr, true);

        // Each instance gets a little use before it may be closed.
        switch (random() % 4) {
            case 0:
                effect.set(random() % 6, static_cast<float>(random() % 129) / 128.0f);
                break;
            case 1:
                effect.start(44100.0f, 64);
                playBlock(effect, 64, 0.8f);
                break;
            case 2:
                effect.dispatch(effSetProgram, 0, static_cast<intptr_t>(random() % 10));
                break;
            default:
                break;
        }

        // Close a random one once enough are alive, so lifetimes overlap.
        if (alive.size() == kMaxAlive || random() % 3 == 0) {
            const std::size_t victim = random() % alive.size();
            EXPECT_EQ(alive[victim]->close(), 1);
            alive.erase(alive.begin() + static_cast<std::ptrdiff_t>(victim));
        }
    }
    // The survivors still work after all that.
    for (auto& effect : alive) {
        effect->start(48000.0f, 32);
        playBlock(*effect, 32, 0.5f);
        EXPECT_EQ(effect->close(), 1);
    }
}

TEST(Lifecycle, CloseAnswersOneWhateverItsArguments) {
    const int32_t indices[] = {0, -1, std::numeric_limits<int32_t>::max()};
    const intptr_t values[] = {0, -1, std::numeric_limits<intptr_t>::max()};
    const float opts[] = {0.0f, std::numeric_limits<float>::quiet_NaN(),
                          -std::numeric_limits<float>::infinity()};
    char buffer[64] = {};
    for (const int32_t index : indices) {
        for (const intptr_t value : values) {
            for (const float opt : opts) {
                Effect effect;
                effect.start(44100.0f, 128);
                EXPECT_EQ(effect.close(index, value, buffer, opt), 1);
            }
        }
    }
}

TEST(Lifecycle, LibraryUnloadedAndLoadedAgain) {
    // A private copy, so that unloading it really unmaps it: the shipped path
    // stays loaded for the other tests.
    namespace fs = std::filesystem;
    const fs::path copy = fs::temp_directory_path() / ("varnox-reload-" + std::to_string(::getpid()) + ".so");
    fs::copy_file(VARNOX_PLUGIN_PATH, copy, fs::copy_options::overwrite_existing);
    for (int round = 0; round < 20; ++round) {
        PluginLibrary library(copy.string());
        std::vector<std::unique_ptr<Effect>> effects;
        for (int i = 0; i < 3; ++i) effects.push_back(std::make_unique<Effect>(library));
        for (auto& effect : effects) {
            ASSERT_EQ(effect->dispatch(effEditOpen), 1);
            effect->start(44100.0f, 128);
            playBlock(*effect, 128, 0.9f);
        }
        effects[round % 3]->dispatch(effEditClose);
        effects.clear();  // the other two close with their editors open
    }
    fs::remove(copy);
}

// The editor tests run on the validation build, whose windows and timers the
// host drives.
class EditorLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        driver = &editorDriver();
        windowsBefore = driver->liveWindows();
        gdiBefore = driver->liveGdiObjects();
        classesBefore = driver->registeredClasses();
    }
    void TearDown() override {
        // Every editor gone: no window, device context, bitmap or class left behind.
        EXPECT_EQ(driver->liveWindows(), windowsBefore);
        EXPECT_EQ(driver->liveGdiObjects(), gdiBefore);
        EXPECT_EQ(driver->registeredClasses(), classesBefore);
    }
    void tick(int count = 1) {
        for (int i = 0; i < count; ++i) driver->advance(50);
    }

    const EditorDriver* driver = nullptr;
    std::size_t windowsBefore = 0;
    std::size_t gdiBefore = 0;
    std::size_t classesBefore = 0;
};

TEST_F(EditorLifecycle, EditorsOpenAndCloseInEveryOrder) {
    constexpr int kCount = 3;
    std::array<int, kCount> openOrder{0, 1, 2};
    int orders = 0;
    do {
        std::array<int, kCount> closeOrder{0, 1, 2};
        do {
            std::vector<std::unique_ptr<Effect>> effects;
            for (int i = 0; i < kCount; ++i) effects.push_back(std::make_unique<Effect>(drivenPlugin()));
            for (int i = 0; i < kCount; ++i) {
                // On even turns a foreign handle first, which names no window
                // (X11 ids have 29 bits): no editor, and nothing left of the try.
                if (i % 2 == 0) {
                    void* const foreign = reinterpret_cast<void*>(uintptr_t{0x5a5a0000} + i);
                    ASSERT_EQ(effects[openOrder[i]]->dispatch(effEditOpen, 0, 0, foreign), 0);
                    EXPECT_EQ(driver->liveWindows(), windowsBefore + i);
                }
                ASSERT_EQ(effects[openOrder[i]]->dispatch(effEditOpen, 0, 0, nullptr), 1);
                EXPECT_EQ(driver->windowParent(driver->lastWindow()), nullptr);
                tick();
            }
            EXPECT_EQ(driver->liveWindows(), windowsBefore + kCount);
            effects[1]->set(3, 0.75f);
            effects[2]->dispatch(effSetProgram, 0, 9);
            tick(3);
            for (int i = 0; i < kCount; ++i) {
                effects[closeOrder[i]]->dispatch(effEditClose);
                tick();
                EXPECT_EQ(driver->liveWindows(), windowsBefore + kCount - 1 - i);
            }
            ++orders;
        } while (std::next_permutation(closeOrder.begin(), closeOrder.end()));
    } while (std::next_permutation(openOrder.begin(), openOrder.end()));
    EXPECT_EQ(orders, 36);
}

TEST_F(EditorLifecycle, HostsThatSkipOrRepeatEditorRequests) {
    // Closed effect with its editor still open; the other editor keeps ticking.
    {
        Effect a(drivenPlugin());
        Effect b(drivenPlugin());
        ASSERT_EQ(a.dispatch(effEditOpen), 1);
        ASSERT_EQ(b.dispatch(effEditOpen), 1);
        tick(2);
        EXPECT_EQ(a.close(), 1);
        tick(3);
        EXPECT_EQ(driver->liveWindows(), windowsBefore + 1);
        b.dispatch(effEditClose);
    }
    // Opened twice without a close, closed twice, idled before and after.
    {
        Effect effect(drivenPlugin());
        effect.dispatch(effEditIdle);
        effect.dispatch(effEditClose);
        ASSERT_EQ(effect.dispatch(effEditOpen), 1);
        ASSERT_EQ(effect.dispatch(effEditOpen), 1);
        EXPECT_EQ(driver->liveWindows(), windowsBefore + 1);
        tick(2);
        effect.dispatch(effEditIdle);
        effect.dispatch(effEditClose);
        effect.dispatch(effEditClose);
        effect.dispatch(effEditIdle);
        tick(2);
    }
    // Closed while a knob is held: the drag must not outlive the window.
    {
        Effect effect(drivenPlugin());
        ASSERT_EQ(effect.dispatch(effEditOpen), 1);
        void* const window = driver->lastWindow();
        driver->mouse(window, EditorDriver::kLeftDown, 300, 70);  // the Drive knob
        driver->mouse(window, EditorDriver::kMouseMove, 300, 10);
        tick(2);
        const float dragged = effect.get(3);
        EXPECT_GT(dragged, 0.0f);
        effect.dispatch(effEditClose);
        ASSERT_EQ(effect.dispatch(effEditOpen), 1);
        effect.clearAutomations();
        tick(4);
        EXPECT_TRUE(effect.automations().empty());
        EXPECT_EQ(effect.get(3), dragged);
        effect.dispatch(effEditClose);
    }
}

TEST_F(EditorLifecycle, HostReadingBackInsideEveryAutomationRequest) {
    setEchoingHost(true);
    const std::uint64_t readsBefore = echoReads();
    const std::uint64_t mismatchesBefore = echoMismatches();
    {
        Effect effect(drivenPlugin());  // six requests while main runs
        for (int32_t p = 0; p < 10; ++p) effect.dispatch(effSetProgram, 0, p);
        ASSERT_EQ(effect.dispatch(effEditOpen), 1);
        void* const window = driver->lastWindow();
        for (const int x : {100, 170, 233, 303}) {  // each knob: drag, then reset
            driver->mouse(window, EditorDriver::kLeftDown, x, 70);
            driver->mouse(window, EditorDriver::kMouseMove, x, 40);
            tick(2);
            driver->mouse(window, EditorDriver::kLeftUp, x, 40);
            driver->mouse(window, EditorDriver::kRightDown, x, 70);
            driver->mouse(window, EditorDriver::kRightUp, x, 70);
        }
        for (const int x : {357, 58}) {  // the two buttons
            const int y = x == 357 ? 28 : 97;
            driver->mouse(window, EditorDriver::kLeftDown, x, y);
            driver->mouse(window, EditorDriver::kLeftUp, x, y);
            driver->mouse(window, EditorDriver::kRightDown, x, y);
            driver->mouse(window, EditorDriver::kRightUp, x, y);
        }
        tick();
        effect.dispatch(effEditClose);
    }
    setEchoingHost(false);
    EXPECT_GT(echoReads() - readsBefore, 6u + 60u + 8u);
    EXPECT_EQ(echoMismatches() - mismatchesBefore, 0u);
}

TEST_F(EditorLifecycle, EditorRectangleIsTheSkinSize) {
    Effect effect(drivenPlugin());
    ERect* rect = nullptr;
    ASSERT_EQ(effect.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 500);
    EXPECT_EQ(rect->bottom - rect->top, 140);
}
