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
/// The window's pixels as the screen shows them, rows top-down, RGB.
std::vector<std::uint8_t> capture(HWND window);
/// Finds the editor's window in `frame` (into `editor`, null when missing),
/// plays the host script's mouse actions on it, letting its timer run after
/// each, captures the frame (written to `capturePath` when given) and compares
/// it with `expected`: empty when equal, else what went wrong.
std::string editorFrameProblem(HWND frame, const std::vector<std::uint8_t>& expected, const char* capturePath,
                               HWND& editor);

}  // namespace winhost
