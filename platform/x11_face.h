// The X11 face of the software window layer (Linux). A window that the layer
// creates with WS_CHILD and a parent that is none of the layer's own windows
// is taken to live inside that X11 window id, as VST hosts on Linux pass it:
// the face makes a real child window there, on a connection of its own to
// $DISPLAY, shows every frame copied into the window's device context, turns
// pointer input into the window's mouse messages, answers exposure with
// WM_PAINT, and fires the window's timers by real elapsed time. Creation
// fails (CreateWindowExA answers null) when there is no display, the id is no
// window on it, or its visual cannot be shown.
//
// The face never touches the host's own X11 connection or its error handler:
// it speaks XCB, whose errors come back on the face's connection only. When
// the host destroys its window first, or the display goes away, the window
// stops being shown and lives on in memory until it is destroyed.
//
// By default every such window gets an event thread of its own, so that its
// timers keep their rate whatever the host does with its idle calls. A caller
// that has a run loop of its own (a VST 3 host's IRunLoop) drives the window
// instead:
//
//     {
//         x11face::DriveScope byCaller(x11face::Drive::byCaller);
//         window = CreateWindowExA(0, cls, name, WS_CHILD | WS_VISIBLE, 0, 0, w, h,
//                                  reinterpret_cast<HWND>(x11ParentId), ...);
//     }
//     int fd = x11face::eventDescriptor(window);  // watch for input
//     x11face::handleEvents(window);              // whenever fd is readable
//     x11face::fireDueTimers(window);             // from a run-loop timer, every 10 ms or so
//
// All of these take the user-interface lock (platform/ui_lock.h).
#pragma once

#include "platform/soft_win32.h"

namespace x11face {

enum class Drive {
    ownThread,  // an event thread per window (the default)
    byCaller,   // no thread: the caller handles events and fires timers
};

/// While alive, X11 windows that the layer creates on this thread are driven
/// by `drive`; the previous setting returns when the scope ends.
class DriveScope {
public:
    explicit DriveScope(Drive drive);
    ~DriveScope();
    DriveScope(const DriveScope&) = delete;
    DriveScope& operator=(const DriveScope&) = delete;

private:
    Drive previous_;
};

/// The descriptor of the X11 connection of a window created with
/// Drive::byCaller, readable when events wait; -1 for any other window and
/// once the connection has failed.
int eventDescriptor(HWND window);

/// For a Drive::byCaller window: reads every waiting X11 event and delivers
/// what it means to the window procedure (mouse messages, WM_PAINT). Never
/// blocks.
void handleEvents(HWND window);

/// For a Drive::byCaller window: fires the timers that are due by the steady
/// clock (missed periods merge into one WM_TIMER, as on Win32) and answers
/// the milliseconds until the next one is due; -1 when it has none or is not
/// such a window. A timer due within kEarlyMilliseconds fires now.
constexpr int kEarlyMilliseconds = 2;
int fireDueTimers(HWND window);

/// True while the window's frames reach an X11 window: false for windows of
/// the layer alone, and once the host destroyed its window or the display
/// went away.
bool isShown(HWND window);

}  // namespace x11face
