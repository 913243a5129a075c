# 32-bit Windows (i686) with Debian's mingw-w64.
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake
# Tests run under 32-bit Wine through scripts/wine-run; wrap ctest in
# scripts/wine-session so they share one warm wineserver and a display.

set(CMAKE_SYSTEM_PROCESSOR x86)
set(_mingwTriple i686-w64-mingw32)
set(_wineBits 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# SSE2 scalar math rounds every float operation to 32 bits, as x86-64 does, so
# samples equal the native build's; x87 would keep 80-bit intermediates.
# Hosts may call in with a stack aligned to only 4 bytes, which SSE spills
# would fault on, hence the realignment at every entry.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
