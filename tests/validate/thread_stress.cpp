// Three threads on one instance, as a host runs it: the audio thread
// processes blocks, an automation thread sets parameters and programs, and
// the user-interface thread drives the editor's timer and mouse. A second
// instance has its editor in a real X11 window, ticking on its own event
// thread: the host thread opens and closes it over and over, sets parameters
// and programs and sends it pointer events, while another audio thread
// processes. Built for ThreadSanitizer; also checks every output sample.
//
//   varnox_thread_stress [seconds]      (default 5)
//
// The X11 part runs on a private Xvfb, or on $DISPLAY without one; with
// neither it is left out, and the report says so.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <xcb/xcb.h>

#include "host/effect_base.h"
#include "platform/soft_win32_driver.h"
#include "platform/vst2.h"
#include "product/shaper_effect_edit.h"
#include "tests/x11/private_display.h"

namespace {

std::atomic<bool> running{true};
std::atomic<std::uint64_t> automateRequests{0};
std::atomic<std::uint64_t> pinRequests{0};
std::atomic<std::uint64_t> samples{0};
std::atomic<std::uint64_t> parameterSets{0};
std::atomic<std::uint64_t> ticks{0};
std::atomic<std::uint64_t> mouseActions{0};
std::atomic<std::uint64_t> x11Opens{0};
std::atomic<std::uint64_t> x11Events{0};
std::atomic<std::uint64_t> x11Automations{0};
std::atomic<AEffect*> x11Effect{nullptr};
thread_local bool onX11HostThread = false;
std::atomic<std::uint64_t> faults{0};

intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t, intptr_t, void*, float) {
    switch (opcode) {
        case audioMasterVersion:
            return 2400;
        case audioMasterAutomate:
            ++automateRequests;
            // From the editor's event thread: program loads on the host thread also automate.
            if (effect && effect == x11Effect.load() && !onX11HostThread) ++x11Automations;
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

// A host window on the display, and the pointer events a user would make
// in the editor's window inside it.
class X11Host {
public:
    explicit X11Host(const char* display) : connection_(xcb_connect(display, nullptr)) {
        if (xcb_connection_has_error(connection_)) return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        window_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 500, 140, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(connection_, window_);
        xcb_flush(connection_);
    }
    ~X11Host() { xcb_disconnect(connection_); }
    X11Host(const X11Host&) = delete;
    X11Host& operator=(const X11Host&) = delete;

    bool ok() const { return window_ != 0; }
    xcb_window_t window() const { return window_; }

    xcb_window_t editorWindow() const {
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window_), nullptr);
        xcb_window_t child = 0;
        if (tree && xcb_query_tree_children_length(tree) == 1) child = xcb_query_tree_children(tree)[0];
        std::free(tree);
        return child;
    }
    // Sent to the window's creator, the editor's own connection.
    void pointer(xcb_window_t target, std::uint8_t type, std::uint8_t button, int x, int y) const {
        xcb_button_press_event_t event{};
        event.response_type = type;
        event.detail = button;
        event.event = target;
        event.event_x = static_cast<std::int16_t>(x);
        event.event_y = static_cast<std::int16_t>(y);
        event.same_screen = 1;
        xcb_send_event(connection_, 0, target, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
        xcb_flush(connection_);
    }

private:
    xcb_connection_t* connection_;
    xcb_window_t window_ = 0;
};

void x11HostThread(AEffect* effect, const X11Host* host) {
    onX11HostThread = true;
    std::mt19937 random(4);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    while (running.load(std::memory_order_relaxed)) {
        if (effect->dispatcher(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{host->window()}),
                               0.0f) != 1) {
            if (faults++ == 0) std::fprintf(stderr, "the editor did not open in the X11 window\n");
            return;
        }
        ++x11Opens;
        const xcb_window_t editor = host->editorWindow();
        if (editor == 0 && faults++ == 0) std::fprintf(stderr, "no editor window inside the host's window\n");
        const int rounds = 1 + static_cast<int>(random() % 20);
        for (int round = 0; round < rounds && running.load(std::memory_order_relaxed); ++round) {
            effect->setParameter(effect, static_cast<int32_t>(random() % 6), unit(random));
            if (random() % 16 == 0) effect->dispatcher(effect, effSetProgram, 0, random() % 10, nullptr, 0.0f);
            if (random() % 4 == 0) effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
            if (editor) {
                static constexpr std::uint8_t kTypes[] = {XCB_MOTION_NOTIFY, XCB_BUTTON_PRESS, XCB_BUTTON_RELEASE};
                const std::uint8_t type = kTypes[random() % 3];
                host->pointer(editor, type, random() % 2 ? 1 : 3, static_cast<int>(random() % 540) - 20,
                              static_cast<int>(random() % 180) - 20);
                ++x11Events;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        }
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    }
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

    // The second instance, for the editor in an X11 window.
    PrivateDisplay privateDisplay;
    const char* displayName = privateDisplay.ok() ? privateDisplay.name().c_str() : std::getenv("DISPLAY");
    std::unique_ptr<X11Host> x11Host;
    if (displayName) {
        ::setenv("DISPLAY", displayName, 1);
        x11Host = std::make_unique<X11Host>(displayName);
        if (!x11Host->ok()) x11Host.reset();
    }
    AEffect* embedded = x11Host ? createEffectInstance(&hostCallback) : nullptr;
    if (embedded) {
        x11Effect = embedded;
        embedded->dispatcher(embedded, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        embedded->dispatcher(embedded, effSetBlockSize, 0, kAnnounced, nullptr, 0.0f);
        embedded->dispatcher(embedded, effMainsChanged, 0, 1, nullptr, 0.0f);
    }

    const auto started = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    threads.emplace_back(audioThread, effect, kAnnounced);
    threads.emplace_back(automationThread, effect);
    threads.emplace_back(userInterfaceThread, effect);
    if (embedded) {
        threads.emplace_back(audioThread, embedded, kAnnounced);
        threads.emplace_back(x11HostThread, embedded, x11Host.get());
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    running = false;
    for (std::thread& thread : threads) thread.join();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    if (embedded) {
        embedded->dispatcher(embedded, effMainsChanged, 0, 0, nullptr, 0.0f);
        embedded->dispatcher(embedded, effClose, 0, 0, nullptr, 0.0f);
    }

    std::printf(
        "thread stress: %.1f s, %llu samples processed, %llu parameter sets, %llu editor ticks, "
        "%llu editor actions, %llu automation and %llu pin requests, %llu faults\n",
        elapsed, static_cast<unsigned long long>(samples), static_cast<unsigned long long>(parameterSets),
        static_cast<unsigned long long>(ticks), static_cast<unsigned long long>(mouseActions),
        static_cast<unsigned long long>(automateRequests), static_cast<unsigned long long>(pinRequests),
        static_cast<unsigned long long>(faults));
    if (embedded) {
        std::printf(
            "thread stress: X11 editor on %s opened and closed %llu times, %llu pointer events, "
            "%llu automation requests from its event thread\n",
            displayName, static_cast<unsigned long long>(x11Opens), static_cast<unsigned long long>(x11Events),
            static_cast<unsigned long long>(x11Automations));
    } else {
        std::printf("thread stress: no X server (%s), the X11 editor was left out\n",
                    privateDisplay.error().c_str());
    }
    const bool x11Ran = !embedded || (x11Opens > 0 && x11Automations > 0);
    return faults == 0 && samples > 0 && ticks > 0 && x11Ran ? 0 : 1;
}
