// 32-bit hosts may call a plug-in with the stack aligned to only 4 bytes,
// where SSE spills that assume 16 would fault. This host calls every entry of
// the DLL with the stack off by 4, 8 and 12 bytes, and the results must equal
// those of calls made with the usual alignment.
//   stack_check DLL
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/vst2.h"
#include "tests/windows/host_script.h"
#include "tests/windows/load_dll.h"

namespace {

static_assert(sizeof(void*) == 4, "the misaligning call is written for 32-bit x86");

// A cdecl call with up to six 32-bit arguments, made with the stack pointer
// `misalign` bytes below a 16-byte boundary at the call instruction.
struct RawCall {
    const void* function;
    std::uint32_t argument[6];
    std::uint32_t padding;  // below the boundary before the arguments go on
    std::uint32_t result;
};
static_assert(sizeof(RawCall) == 36);

void callMisaligned(RawCall& call) {
    // esi and edi are callee-saved, so the callee keeps both for us.
    __asm__ volatile(
        "mov %%esp, %%esi\n\t"
        "and $-16, %%esp\n\t"
        "sub 28(%%edi), %%esp\n\t"
        "pushl 24(%%edi)\n\t"
        "pushl 20(%%edi)\n\t"
        "pushl 16(%%edi)\n\t"
        "pushl 12(%%edi)\n\t"
        "pushl 8(%%edi)\n\t"
        "pushl 4(%%edi)\n\t"
        "call *(%%edi)\n\t"
        "mov %%eax, 32(%%edi)\n\t"
        "mov %%esi, %%esp\n\t"
        :
        : "D"(&call)
        : "eax", "ecx", "edx", "esi", "memory", "cc");
}

template <typename T>
std::uint32_t raw(T value) {
    static_assert(sizeof(T) <= 4);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof value);
    return bits;
}

// Calls straight through when `misalign` is 0, else through callMisaligned.
class Caller {
public:
    explicit Caller(int misalign) : misalign(misalign) {}

    std::uint32_t operator()(const void* function, std::uint32_t a0 = 0, std::uint32_t a1 = 0, std::uint32_t a2 = 0,
                             std::uint32_t a3 = 0, std::uint32_t a4 = 0, std::uint32_t a5 = 0) const {
        if (misalign == 0) {
            // Surplus arguments are harmless in cdecl: the caller removes them.
            using Plain = std::uint32_t(__cdecl*)(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                                  std::uint32_t, std::uint32_t);
            return reinterpret_cast<Plain>(const_cast<void*>(function))(a0, a1, a2, a3, a4, a5);
        }
        // Six arguments take 24 bytes; pad so the call lands `misalign` short.
        const auto padding = static_cast<std::uint32_t>((misalign + 8) % 16);
        RawCall call{function, {a0, a1, a2, a3, a4, a5}, padding, 0};
        callMisaligned(call);
        return call.result;
    }

private:
    int misalign;
};

struct Outcome {
    std::vector<float> audio;
    std::vector<char> texts;
    ERect rect{};
};

Outcome drive(VstEntryProc entry, HWND parent, int misalign) {
    const Caller call(misalign);
    Outcome outcome;
    auto* effect = reinterpret_cast<AEffect*>(call(reinterpret_cast<const void*>(entry), raw(&hostscript::hostCallback)));
    if (!effect) return outcome;
    const void* dispatcher = reinterpret_cast<const void*>(effect->dispatcher);
    auto dispatch = [&](int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
        return call(dispatcher, raw(effect), raw(opcode), raw(index), raw(value), raw(ptr), raw(opt));
    };
    dispatch(effOpen, 0, 0, nullptr, 0.0f);
    dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(effSetBlockSize, 0, 256, nullptr, 0.0f);
    dispatch(effSetProgram, 0, 6, nullptr, 0.0f);
    call(reinterpret_cast<const void*>(effect->setParameter), raw(effect), raw(int32_t{3}), raw(0.55f));
    call(reinterpret_cast<const void*>(effect->setParameter), raw(effect), raw(int32_t{0}), raw(0.7f));
    dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);

    for (int32_t opcode : {effGetParamDisplay, effGetParamLabel, effGetParamName}) {
        for (int32_t index = 0; index < effect->numParams; ++index) {
            char text[256] = {};
            dispatch(opcode, index, 0, text, 0.0f);
            outcome.texts.insert(outcome.texts.end(), text, text + std::strlen(text) + 1);
        }
    }

    const std::vector<float> input = hostscript::inputSignal();
    std::vector<float> inLeft(256), inRight(256), outLeft(256), outRight(256);
    for (int block = 0; block < 40; ++block) {
        for (int i = 0; i < 256; ++i) {
            inLeft[i] = input[2 * (block * 256 + i)];
            inRight[i] = input[2 * (block * 256 + i) + 1];
        }
        float* inputs[] = {inLeft.data(), inRight.data()};
        float* outputs[] = {outLeft.data(), outRight.data()};
        call(reinterpret_cast<const void*>(effect->processReplacing), raw(effect), raw(inputs), raw(outputs),
             raw(int32_t{256}));
        outcome.audio.insert(outcome.audio.end(), outLeft.begin(), outLeft.end());
        outcome.audio.insert(outcome.audio.end(), outRight.begin(), outRight.end());
    }

    ERect* rect = nullptr;
    dispatch(effEditGetRect, 0, 0, &rect, 0.0f);
    if (rect) outcome.rect = *rect;
    dispatch(effEditOpen, 0, 0, parent, 0.0f);
    dispatch(effEditIdle, 0, 0, nullptr, 0.0f);
    dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
    dispatch(effClose, 0, 0, nullptr, 0.0f);
    return outcome;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: stack_check DLL\n");
        return 2;
    }
    const auto [library, entry] = loadDll(argv[1]);
    if (!entry) return 1;
    HWND parent = CreateWindowExA(0, "STATIC", "stack check", WS_OVERLAPPEDWINDOW, 0, 0, 520, 180, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    int failures = 0;
    const Outcome aligned = drive(entry, parent, 0);
    if (aligned.audio.empty()) {
        std::fprintf(stderr, "FAIL: main returned no effect\n");
        ++failures;
    }
    for (int misalign : {4, 8, 12}) {
        const Outcome shifted = drive(entry, parent, misalign);
        const bool same = shifted.audio == aligned.audio && shifted.texts == aligned.texts &&
                          std::memcmp(&shifted.rect, &aligned.rect, sizeof aligned.rect) == 0;
        std::printf("stack off by %d bytes: %s\n", misalign, same ? "same results" : "DIFFERENT results");
        failures += same ? 0 : 1;
    }
    if (parent) DestroyWindow(parent);
    FreeLibrary(library);
    return failures ? 1 : 0;
}
