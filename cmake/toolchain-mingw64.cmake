# 64-bit Windows (x86-64) with Debian's mingw-w64.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
# Tests run under 64-bit Wine through scripts/wine-run; wrap ctest in
# scripts/wine-session so they share one warm wineserver and a display.

set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(_mingwTriple x86_64-w64-mingw32)
set(_wineBits 64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# SSE2 float math and a 16-byte aligned stack are what the x64 ABI already
# guarantees, so no flags are needed for samples to equal the native build's.
