// The object a window procedure serves, kept in the window's user data slot.
// 32-bit Windows stores it with SetWindowLongA(GWL_USERDATA); wherever
// pointers are wider than a LONG the pointer-sized calls are needed.
#pragma once

#include <cstdint>

#include "platform/win32.h"

#if defined(_WIN32) && !defined(_WIN64)
inline void storeWindowObject(HWND window, void* object) {
    SetWindowLongA(window, GWL_USERDATA, static_cast<LONG>(reinterpret_cast<std::intptr_t>(object)));
}
inline void* windowObject(HWND window) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(GetWindowLongA(window, GWL_USERDATA)));
}
#else
inline void storeWindowObject(HWND window, void* object) {
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
}
inline void* windowObject(HWND window) {
    return reinterpret_cast<void*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}
#endif
