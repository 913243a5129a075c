// The window kind a CLAP editor embeds in on this system, and the parent
// window a host's clap_window_t names, as the window layer takes it.
#pragma once

#include <cstdint>

#include "platform/clap/extensions.h"

namespace clapwindow {

#if defined(_WIN32)
constexpr const char* kApi = CLAP_WINDOW_API_WIN32;
inline void* parentOf(const clap_window_t& window) { return window.win32; }
#else
constexpr const char* kApi = CLAP_WINDOW_API_X11;
// The window layer takes an X11 window id in a pointer.
inline void* parentOf(const clap_window_t& window) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window.x11));
}
#endif

}  // namespace clapwindow
