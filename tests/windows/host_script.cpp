#include "tests/windows/host_script.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

namespace hostscript {

intptr_t VSTCALLBACK hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

std::vector<float> inputSignal() {
    std::vector<float> out(static_cast<std::size_t>(kFrames) * 2);
    uint32_t noise = 12345u;
    for (int i = 0; i < kFrames; ++i) {
        noise = noise * 1664525u + 1013904223u;
        // Triangles of 200 and 147 samples, a slow swell, noise in bursts and
        // an over-range stretch, so the clip path and both envelope
        // directions get work; the last fifth is silence for the tails.
        const int a = i % 200, b = i % 147;
        const float triLeft = static_cast<float>(a < 100 ? a - 50 : 150 - a) / 50.0f;
        const float triRight = static_cast<float>(b < 74 ? b - 37 : 110 - b) / 37.0f;
        const float swell = static_cast<float>(i % 11025) / 11025.0f;
        const float burst = (i / 2205) % 3 == 1 ? static_cast<float>(static_cast<int32_t>(noise >> 8) - (1 << 23)) /
                                                     static_cast<float>(1 << 24)
                                               : 0.0f;
        float gain = i >= 26460 && i < 30870 ? 2.5f : 0.8f;
        if (i >= kFrames * 4 / 5) gain = 0.0f;
        out[2 * i] = gain * (swell * triLeft + burst);
        out[2 * i + 1] = gain * (0.5f * triRight - burst);
    }
    return out;
}

std::vector<float> renderProgram(VstEntryProc entry, int program) {
    AEffect* effect = entry(&hostCallback);
    if (!effect) return {};
    auto dispatch = [effect](int32_t opcode, intptr_t value, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, 0, value, nullptr, opt);
    };
    dispatch(effOpen, 0);
    dispatch(effSetSampleRate, 0, kSampleRate);
    dispatch(effSetBlockSize, kMaxBlock);
    dispatch(effSetProgram, program);
    dispatch(effMainsChanged, 1);

    const std::vector<float> input = inputSignal();
    std::vector<float> output(input.size());
    std::vector<float> inLeft(kMaxBlock), inRight(kMaxBlock), outLeft(kMaxBlock), outRight(kMaxBlock);
    // Odd sizes too: the block path runs four lanes with a scalar tail.
    constexpr int32_t kBlocks[] = {512, 333, 64, 7, 1024, 1, 250};
    int done = 0;
    for (std::size_t n = 0; done < kFrames; ++n) {
        const int32_t count = std::min<int32_t>(kBlocks[n % std::size(kBlocks)], kFrames - done);
        for (int32_t i = 0; i < count; ++i) {
            inLeft[i] = input[2 * (done + i)];
            inRight[i] = input[2 * (done + i) + 1];
        }
        float* inputs[] = {inLeft.data(), inRight.data()};
        float* outputs[] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, inputs, outputs, count);
        for (int32_t i = 0; i < count; ++i) {
            output[2 * (done + i)] = outLeft[i];
            output[2 * (done + i) + 1] = outRight[i];
        }
        done += count;
    }
    dispatch(effMainsChanged, 0);
    dispatch(effClose, 0);
    return output;
}

const std::vector<Step>& mouseScript() {
    static const std::vector<Step> script = {
        // Boost and Times Two switched on with a click each.
        {Mouse::kMove, 58, 97, 2},    {Mouse::kLeftDown, 58, 97, 2},  {Mouse::kLeftUp, 58, 97, 2},
        {Mouse::kMove, 357, 28, 2},   {Mouse::kLeftDown, 357, 28, 2}, {Mouse::kLeftUp, 357, 28, 2},
        // Attack back to the middle with a right click.
        {Mouse::kMove, 170, 70, 2},   {Mouse::kRightDown, 170, 70, 2}, {Mouse::kRightUp, 170, 70, 2},
        // Drive dragged 30 pixels up, then left hovering over its knob, so
        // the readout keeps showing it.
        {Mouse::kMove, 303, 80, 2},   {Mouse::kLeftDown, 303, 80, 2}, {Mouse::kMove, 303, 65, 2},
        {Mouse::kMove, 303, 50, 3},   {Mouse::kLeftUp, 303, 50, 40},
    };
    return script;
}

std::string audioFileName(int program) { return "audio-" + std::to_string(program) + ".f32"; }

std::string referenceProblem(const std::string& referenceDir, int program,
                             const std::function<std::vector<float>()>& render) {
    std::vector<std::uint8_t> expected;
    const std::string path = referenceDir + "/" + audioFileName(program);
    if (!readFile(path, expected)) return "no native reference " + path + " (run the native build's varnox-reference)";
    const std::vector<float> out = render();
    const std::string name = "program " + std::to_string(program);
    if (out.size() * sizeof(float) != expected.size()) return name + ": output length differs from the native build's";
    if (std::memcmp(out.data(), expected.data(), expected.size()) != 0)
        return name + ": samples differ from the native build's";
    std::printf("program %d: %d frames identical to the native VST 2 path\n", program, kFrames);
    return {};
}

bool writeFile(const std::string& path, const void* data, std::size_t size) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) return false;
    const bool written = std::fwrite(data, 1, size, file.get()) == size;
    return std::fclose(file.release()) == 0 && written;
}

bool readFile(const std::string& path, std::vector<std::uint8_t>& data) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return false;
    data.clear();
    std::uint8_t buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) data.insert(data.end(), buffer, buffer + got);
    return !std::ferror(file.get());
}

UINT messageFor(Mouse action) {
    switch (action) {
    case Mouse::kMove: return WM_MOUSEMOVE;
    case Mouse::kLeftDown: return WM_LBUTTONDOWN;
    case Mouse::kLeftUp: return WM_LBUTTONUP;
    case Mouse::kRightDown: return WM_RBUTTONDOWN;
    case Mouse::kRightUp: return WM_RBUTTONUP;
    }
    return 0;
}

}  // namespace hostscript
