# 32-bit Windows (i686) with Debian's mingw-w64.
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake
# Tests run under 32-bit Wine through scripts/wine-run; wrap ctest in
# scripts/wine-session so they share one warm wineserver and a display.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(_mingwTriple i686-w64-mingw32)
# The posix-thread variants: the win32-thread ones have no std::mutex or
# std::thread, which GoogleTest needs.
set(CMAKE_C_COMPILER ${_mingwTriple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingwTriple}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingwTriple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_mingwTriple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 scalar math rounds every float operation to 32 bits, as x86-64 does, so
# samples equal the native build's; x87 would keep 80-bit intermediates.
# Hosts may call in with a stack aligned to only 4 bytes, which SSE spills
# would fault on, hence the realignment at every entry.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")

# The C, C++ and thread runtimes linked in, so that the binaries import only
# Windows system libraries and load on a machine without mingw DLLs.
set(_mingwStaticLink "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_mingwStaticLink}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_mingwStaticLink}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_mingwStaticLink}")

get_filename_component(_varnoxRoot "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${_varnoxRoot}/scripts/wine-run;--root;${CMAKE_BINARY_DIR};32")
