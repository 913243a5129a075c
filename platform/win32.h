// The window and graphics calls the editor makes. On Windows they are the
// real USER32 and GDI32; elsewhere our software layer serves the same calls.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "platform/soft_win32.h"
#endif
