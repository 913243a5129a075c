# 64-bit Windows (x86-64) with Debian's mingw-w64.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
# Tests run under 64-bit Wine through scripts/wine-run; wrap ctest in
# scripts/wine-session so they share one warm wineserver and a display.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(_mingwTriple x86_64-w64-mingw32)
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

# SSE2 float math and a 16-byte aligned stack are what the x64 ABI already
# guarantees, so no flags are needed for samples to equal the native build's.

# The C, C++ and thread runtimes linked in, so that the binaries import only
# Windows system libraries and load on a machine without mingw DLLs.
set(_mingwStaticLink "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_mingwStaticLink}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_mingwStaticLink}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_mingwStaticLink}")

get_filename_component(_varnoxRoot "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${_varnoxRoot}/scripts/wine-run;--root;${CMAKE_BINARY_DIR};64")
