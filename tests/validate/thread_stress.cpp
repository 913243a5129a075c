// Three threads on one instance, as a host runs it: the audio thread
// processes blocks, an automation thread sets parameters and programs, and
// the user-interface thread drives the editor's timer and mouse. Built for
// ThreadSanitizer; also checks every output sample.
//
//   varnox_thread_stress [seconds]      (default 5)
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/effect_base.h"
#include "platform/soft_win32_driver.h"
#include "platform/vst2.h"
#include "product/shaper_effect_edit.h"

namespace {

std::atomic<bool> running{true};
std::atomic<std::uint64_t> automateRequests{0};
std::atomic<std::uint64_t> pinRequests{0};
std::atomic<std::uint64_t> samples{0};
std::atomic<std::uint64_t> parameterSets{0};
std::atomic<std::uint64_t> ticks{0};
std::atomic<std::uint64_t> mouseActions{0};
std::atomic<std::uint64_t> faults{0};

intptr_t VSTCALLBACK hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    switch (opcode) {
        case audioMasterVersion:
            return 2400;
        case audioMasterAutomate:
            ++automateRequests;
            return 0;
        case audioMasterPinConnected:
            ++pinRequests;
            return 0;
        default:
            return 0;
    }
}

bool clean(float x) {
    return std::isfinite(x) && std::fpclassify(x) != FP_SUBNORMAL;
}

void audioThread(AEffect* effect, int32_t announced) {
    std::mt19937 random(1);
    std::vector<float> inL(4 * announced), inR(4 * announced), outL(4 * announced), outR(4 * announced);
    std::uint64_t n = 0;
    while (running.load(std::memory_order_relaxed)) {
        // Mostly the announced size, sometimes short, now and then longer than announced.
        const int32_t choice = static_cast<int32_t>(random() % 16);
        const int32_t frames = choice == 0  ? 4 * announced
                               : choice < 4 ? 1 + static_cast<int32_t>(random() % announced)
                                            : announced;
        for (int32_t i = 0; i < frames; ++i, ++n) {
            inL[i] = 1.5f * std::sin(0.01f * static_cast<float>(n % 100000));
            inR[i] = (n / 20000) % 2 ? 0.0f : 0.7f * std::sin(0.003f * static_cast<float>(n % 100000));
        }
        float* inputs[2] = {inL.data(), inR.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        if (choice == 1) {
            std::fill_n(outL.begin(), frames, 0.0f);
            std::fill_n(outR.begin(), frames, 0.0f);
            effect->process(effect, inputs, outputs, frames);
        } else {
            effect->processReplacing(effect, inputs, outputs, frames);
        }
        for (int32_t i = 0; i < frames; ++i) {
            if (!clean(outL[i]) || !clean(outR[i])) {
                if (faults++ == 0) std::fprintf(stderr, "unclean output: %g %g\n", outL[i], outR[i]);
            }
        }
        samples += 2 * static_cast<std::uint64_t>(frames);
    }
}

void automationThread(AEffect* effect) {
    std::mt19937 random(2);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    char text[64];
    while (running.load(std::memory_order_relaxed)) {
        const int32_t index = static_cast<int32_t>(random() % 6);
        effect->setParameter(effect, index, unit(random));
        const float read = effect->getParameter(effect, index);
        if (!(read >= 0.0f && read <= 1.0f)) ++faults;
        ++parameterSets;
        if (random() % 64 == 0) effect->dispatcher(effect, effSetProgram, 0, random() % 10, nullptr, 0.0f);
        if (random() % 8 == 0) effect->dispatcher(effect, effGetParamDisplay, index, 0, text, 0.0f);
        if (parameterSets % 256 == 0) std::this_thread::yield();
    }
}

void userInterfaceThread(AEffect* effect) {
    std::mt19937 random(3);
    char text[64];
    HWND window = softwin::lastWindow();
    std::uint64_t actions = 0;
    while (running.load(std::memory_order_relaxed)) {
        // Mouse handling is cheap and a frame is not: several actions per tick,
        // as a user's hand moves faster than the 50 ms timer.
        for (int action = 0; action < 8; ++action, ++actions) {
            const int x = static_cast<int>(random() % 520) - 10;
            const int y = static_cast<int>(random() % 160) - 10;
            switch (random() % 8) {
                case 0:
                    softwin::sendMouse(window, WM_LBUTTONDOWN, x, y);
                    break;
                case 1:
                    softwin::sendMouse(window, WM_LBUTTONUP, x, y);
                    break;
                case 2:
                    softwin::sendMouse(window, WM_RBUTTONDOWN, x, y);
                    softwin::sendMouse(window, WM_RBUTTONUP, x, y);
                    break;
                case 3:
                    effect->dispatcher(effect, effGetProgramName, 0, 0, text, 0.0f);
                    effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
                    break;
                case 4:
                    if (random() % 50 == 0) {
                        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
                        effect->dispatcher(effect, effEditOpen, 0, 0, nullptr, 0.0f);
                        window = softwin::lastWindow();
                    }
                    break;
                default:
                    softwin::sendMouse(window, WM_MOUSEMOVE, x, y);
                    break;
            }
        }
        softwin::tick();
        ++ticks;
    }
    mouseActions += actions;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    constexpr int32_t kAnnounced = 256;

    AEffect* effect = createEffectInstance(&hostCallback);
    if (!effect) {
        std::fprintf(stderr, "no instance\n");
        return 1;
    }
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, kAnnounced, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    if (effect->dispatcher(effect, effEditOpen, 0, 0, nullptr, 0.0f) != 1) {
        std::fprintf(stderr, "no editor\n");
        return 1;
    }

    const auto started = std::chrono::steady_clock::now();
    std::thread audio(audioThread, effect, kAnnounced);
    std::thread automation(automationThread, effect);
    std::thread userInterface(userInterfaceThread, effect);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    running = false;
    audio.join();
    automation.join();
    userInterface.join();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);

    std::printf(
        "thread stress: %.1f s, %llu samples processed, %llu parameter sets, %llu editor ticks, "
        "%llu editor actions, %llu automation and %llu pin requests, %llu faults\n",
        elapsed, static_cast<unsigned long long>(samples), static_cast<unsigned long long>(parameterSets),
        static_cast<unsigned long long>(ticks), static_cast<unsigned long long>(mouseActions),
        static_cast<unsigned long long>(automateRequests), static_cast<unsigned long long>(pinRequests),
        static_cast<unsigned long long>(faults));
    return faults == 0 && samples > 0 && ticks > 0 ? 0 : 1;
}
