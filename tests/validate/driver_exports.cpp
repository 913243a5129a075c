// Entry points into the software window layer for a validation build of the
// plug-in library. The shipped library exports only its VST 2 entry; a host
// that loads this build can also fire the editor's timers and send it mouse
// input, as a window system would.
#include <cstddef>
#include <cstdint>

#include "platform/soft_win32_driver.h"

extern "C" {

__attribute__((visibility("default"))) void varnoxDriverAdvance(unsigned milliseconds) {
    softwin::advance(milliseconds);
}

__attribute__((visibility("default"))) intptr_t varnoxDriverMouse(void* window, unsigned message, int x,
                                                                  int y) {
    return softwin::sendMouse(static_cast<HWND>(window), message, x, y);
}

__attribute__((visibility("default"))) void* varnoxDriverLastWindow() {
    return softwin::lastWindow();
}

__attribute__((visibility("default"))) std::size_t varnoxDriverLiveWindows() {
    return softwin::liveWindows().size();
}

__attribute__((visibility("default"))) std::size_t varnoxDriverLiveGdiObjects() {
    return softwin::liveGdiObjects();
}

__attribute__((visibility("default"))) std::size_t varnoxDriverRegisteredClasses() {
    return softwin::registeredClassCount();
}

__attribute__((visibility("default"))) void* varnoxDriverWindowParent(void* window) {
    return softwin::windowParent(static_cast<HWND>(window));
}

}  // extern "C"
