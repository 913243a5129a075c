// The Windows host checks' side of an editor: a real top-level window for it
// to live in, the message loop that lets its timer run, the host script's
// mouse actions, and the pixels the screen shows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace winhost {

/// A shown top-level window whose client area is the editor's size; null on failure.
HWND createFrame(int x, int y);
/// Delivers messages until the editor's own 50 ms timer has fired `ticks`
/// times; false when it fired too rarely.
bool pumpTicks(HWND editor, int ticks);
/// Plays the host script's mouse actions on the editor, letting its timer
/// run after each; false when the timer fired too rarely.
bool playMouseScript(HWND editor);
/// The window's pixels as the screen shows them, rows top-down, RGB.
std::vector<std::uint8_t> capture(HWND window);
/// Empty when `pixels` equal `expected`, else what differs.
std::string frameDifference(const std::vector<std::uint8_t>& pixels, const std::vector<std::uint8_t>& expected);

}  // namespace winhost
