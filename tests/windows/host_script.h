// The Windows host check and the native references it is compared with run
// the same script: one input signal through every factory program, and one
// sequence of mouse actions on the editor. Both sides build it from this
// code, so any difference comes from the builds, not from the script.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/vst2.h"
#include "platform/win32.h"

namespace hostscript {

constexpr float kSampleRate = 44100.0f;
constexpr int32_t kMaxBlock = 1024;
constexpr int kFrames = 44100;
constexpr int kEditorWidth = 500;
constexpr int kEditorHeight = 140;

/// Answers the version handshake and nothing else, as a minimal host does.
intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt);

/// Stereo input, interleaved: made with integer arithmetic and exact
/// conversions only, so every build sees the same bits whatever its libm.
std::vector<float> inputSignal();

/// A fresh instance from `entry`, switched to `program`, fed inputSignal() in
/// blocks of changing sizes; the output interleaved. Empty when no instance.
std::vector<float> renderProgram(VstEntryProc entry, int program);

/// The editor's state for the picture: program, then these mouse actions.
/// Every wait is long enough for what follows not to depend on the exact
/// number of timer ticks: a drag takes its value from the last pointer
/// position, and the closing wait outlasts every fade, glow and meter decay.
constexpr int kEditorProgram = 2;
enum class Mouse { kMove, kLeftDown, kLeftUp, kRightDown, kRightUp };
struct Step {
    Mouse action;
    int x, y;         // client pixels
    int ticksAfter;   // 50 ms editor ticks to let pass afterwards, at least
};
const std::vector<Step>& mouseScript();
/// The window message a mouse action sends.
UINT messageFor(Mouse action);

std::string audioFileName(int program);
/// What is wrong with `program`'s render against the native build's file in
/// `referenceDir` (missing, another length, other samples); empty, and a line
/// said, when they are identical. `render` runs only when there is a file.
std::string referenceProblem(const std::string& referenceDir, int program,
                             const std::function<std::vector<float>()>& render);
constexpr const char* kEditorFileName = "editor.rgb";

bool writeFile(const std::string& path, const void* data, std::size_t size);
bool readFile(const std::string& path, std::vector<std::uint8_t>& data);

}  // namespace hostscript
