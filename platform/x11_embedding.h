// Between the software window layer and its X11 face, and nothing else: the
// layer owns an Embedding per window that lives in an X11 window and calls
// it to show frames; the face calls back to deliver paints and timers. All
// of it runs under the user-interface lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/soft_win32.h"
#include "platform/soft_win32_driver.h"

namespace x11face {

class Embedding;
struct EmbeddingDeleter {
    void operator()(Embedding* embedding) const noexcept;
};
using EmbeddingPtr = std::unique_ptr<Embedding, EmbeddingDeleter>;

/// A mapped (when `visible`) `width` x `height` X11 child window of `parent`
/// for the layer's window `owner`, with its event thread unless the
/// creating thread chose Drive::byCaller; null when that cannot be had.
/// Destroying the embedding stops the thread and removes the X11 window.
EmbeddingPtr embed(HWND owner, std::uintptr_t parent, int width, int height, bool visible);

/// Puts the window's pixels into the X11 window.
void present(Embedding& embedding, const softwin::Image& surface);

/// The window's timers changed: its event thread looks at them again.
void timersChanged(Embedding& embedding);

/// False when nothing of the X11 window can be seen: it or an ancestor is
/// unmapped, or it is fully covered. Asks the server (one round trip). A
/// window no longer shown answers true: its frames still go to memory.
bool viewable(Embedding& embedding);
/// Maps or unmaps the X11 window (ShowWindow).
void setMapped(Embedding& embedding, bool mapped);
/// Where the window's origin lay on the screen at the last pointer event.
POINT screenOrigin(const Embedding& embedding);

}  // namespace x11face

namespace softwin::embedded {

using Clock = std::chrono::steady_clock;

/// The embedding of a live window, or null.
x11face::Embedding* embeddingOf(HWND window);

/// The style of the window's class (CS_DBLCLKS decides about double clicks).
UINT classStyle(HWND window);

/// True, once, when the window asked for a WM_MOUSELEAVE (TrackMouseEvent).
bool takeLeaveRequest(HWND window);

/// Delivers WM_PAINT if the window waits for one.
void deliverPaint(HWND window);

/// Fires every timer of the window that is due at `now` (after deliverPaint,
/// as the callers' event delivery ends); answers when the next one is due.
std::optional<Clock::time_point> fireDueTimers(HWND window, Clock::time_point now);

}  // namespace softwin::embedded
