// Fuzz target: a host sending any sequence of opcodes with any arguments,
// interleaved with parameter calls, short blocks, editor ticks and mouse
// input, and closing and reopening the instance. Findings: a crash, a write
// past what an opcode may write, an unclean output sample, a parameter read
// outside 0..1, or windows and GDI objects left behind after the last close.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "host/effect_base.h"
#include "platform/soft_win32_driver.h"
#include "product/shaper_effect_edit.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/validate/opcode_limits.h"

namespace fuzzing {
namespace {

constexpr std::size_t kBufferSize = 1024;
constexpr std::uint8_t kGuard = 0xA5;
constexpr int kMaxSteps = 2000;

intptr_t VSTCALLBACK hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

bool clean(float x) {
    return std::isfinite(x) && std::fpclassify(x) != FP_SUBNORMAL;
}

bool takesTextIn(int32_t opcode) {
    return opcode == effSetProgramName || opcode == effString2Parameter || opcode == effCanDo;
}

class Session {
public:
    explicit Session(FuzzInput& input) : input_(input) { open(); }
    ~Session() {
        if (effect_) effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
    }

    void step() {
        const std::uint8_t op = input_.byte();
        switch (op % 16) {
            case 8:
                effect_->setParameter(effect_, static_cast<int32_t>(input_.edgeInteger()),
                                      input_.edgeFloat());
                break;
            case 9: {
                const int32_t index = static_cast<int32_t>(input_.byte() % 8);
                const float value = effect_->getParameter(effect_, index);
                if (index < 6) check(value >= 0.0f && value <= 1.0f, "parameter reads outside 0..1");
                break;
            }
            case 10:
                playBlock(static_cast<int32_t>(input_.byte()) * 4);
                break;
            case 11:
                softwin::advance(input_.byte() * 4u);
                break;
            case 12: {
                static constexpr UINT kMessages[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP,
                                                     WM_RBUTTONDOWN, WM_RBUTTONUP};
                const UINT message = kMessages[input_.byte() % 5];
                const int x = input_.raw<std::int16_t>();
                const int y = input_.raw<std::int16_t>();
                softwin::sendMouse(softwin::lastWindow(), message, x, y);
                break;
            }
            default:
                dispatch();
                break;
        }
    }

private:
    void open() {
        // Random parent handles must never reach a real display, where they
        // could name somebody's window.
        ::unsetenv("DISPLAY");
        effect_ = createEffectInstance(&hostCallback);
        check(effect_ != nullptr && effect_->magic == kEffectMagic, "main made no instance");
    }

    void dispatch() {
        const std::uint8_t pick = input_.byte();
        const int32_t opcode = pick < 145 ? pick - 16 : static_cast<int32_t>(input_.edgeInteger());
        const int32_t index = static_cast<int32_t>(input_.edgeInteger());
        intptr_t value = static_cast<intptr_t>(input_.edgeInteger());
        const float opt = input_.edgeFloat();
        const std::uint8_t pointerKind = input_.byte() % 4;

        if (opcode == effClose) {
            check(effect_->dispatcher(effect_, effClose, index, value, buffer_, opt) == 1,
                  "effClose answers not 1");
            effect_ = nullptr;
            open();
            return;
        }
        if (pointerKind == 0) {
            effect_->dispatcher(effect_, opcode, index, value, nullptr, opt);
            return;
        }
        if (pointerKind == 3 && opcode == effEditOpen) {
            // A parent handle from another window system: an X11 window id at
            // best, which no display is there to know (see open()).
            effect_->dispatcher(effect_, opcode, index, value,
                                reinterpret_cast<void*>(input_.raw<std::uintptr_t>()), opt);
            return;
        }

        const std::size_t writable = writableBytes(opcode);
        std::fill(buffer_, buffer_ + kBufferSize, kGuard);
        std::fill(buffer_, buffer_ + std::max<std::size_t>(writable, 1), 0);
        if (pointerKind == 2 || takesTextIn(opcode)) {
            // A text going in: what a host would type, terminated.
            const std::size_t length = input_.byte();
            for (std::size_t i = 0; i < length; ++i)
                buffer_[i] = static_cast<std::uint8_t>(input_.byte() | 1);
            buffer_[length] = 0;
        }
        if (opcode == effSetChunk)
            value = static_cast<intptr_t>(static_cast<std::size_t>(value) % kBufferSize);
        std::uint8_t before[kBufferSize];
        std::copy(buffer_, buffer_ + kBufferSize, before);

        effect_->dispatcher(effect_, opcode, index, value, buffer_, opt);

        for (std::size_t i = writable; i < kBufferSize; ++i) {
            if (buffer_[i] != before[i]) finding("write past what the opcode may write");
        }
        check(effect_->magic == kEffectMagic, "record overwritten");
    }

    void playBlock(int32_t frames) {
        std::vector<float> inL(frames), inR(frames), outL(frames), outR(frames);
        for (int32_t i = 0; i < frames; ++i) {
            inL[i] = std::sin(0.05f * static_cast<float>(i)) * 1.2f;
            inR[i] = 0.5f * inL[i];
        }
        float* inputs[2] = {inL.data(), inR.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        effect_->processReplacing(effect_, inputs, outputs, frames);
        for (int32_t i = 0; i < frames; ++i) check(clean(outL[i]) && clean(outR[i]), "unclean output sample");
    }

    FuzzInput& input_;
    AEffect* effect_ = nullptr;
    std::uint8_t buffer_[kBufferSize] = {};
};

}  // namespace

int runDispatcher(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    {
        Session session(input);
        for (int steps = 0; steps < kMaxSteps && !input.empty(); ++steps) session.step();
    }
    check(softwin::liveWindows().empty(), "a window outlived its instance");
    check(softwin::liveGdiObjects() == 0, "GDI objects outlived every editor");
    return 0;
}

}  // namespace fuzzing

#if defined(VARNOX_FUZZ_ENTRY)
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzing::runDispatcher(data, size);
}
#endif
