// Driving an editor window from a host's run loop rather than from a thread
// of its own. Linux VST 3 hosts offer their user-interface thread's run loop
// (a descriptor to watch, a timer): a window created while a CallerDriven
// scope is alive then runs without an event thread, and the run loop hands it
// its input and its ticks. Windows has the system's message loop for all of
// this, so there every call does nothing.
#pragma once

#include "platform/win32.h"

#if !defined(_WIN32)
#include "platform/x11_face.h"
#endif

namespace runloop {

#if defined(_WIN32)

class CallerDriven {
public:
    CallerDriven() {}
    ~CallerDriven() {}
    CallerDriven(const CallerDriven&) = delete;
    CallerDriven& operator=(const CallerDriven&) = delete;
};
inline int eventDescriptor(HWND) { return -1; }
inline void handleEvents(HWND) {}
inline int fireDueTimers(HWND) { return -1; }

#else

/// While alive, windows created on this thread are driven by the caller.
class CallerDriven {
public:
    CallerDriven() : scope_(x11face::Drive::byCaller) {}

private:
    x11face::DriveScope scope_;
};
/// The descriptor to watch for the window's input; -1 when there is none
/// (a window of the software layer alone, or a connection that failed).
inline int eventDescriptor(HWND window) { return x11face::eventDescriptor(window); }
/// Whenever the descriptor is readable: delivers the waiting input.
inline void handleEvents(HWND window) { x11face::handleEvents(window); }
/// From the run loop's timer: fires the window's timers that are due and
/// answers the milliseconds until the next one (-1: none).
inline int fireDueTimers(HWND window) { return x11face::fireDueTimers(window); }

#endif

}  // namespace runloop
