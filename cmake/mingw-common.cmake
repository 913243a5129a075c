# What both mingw-w64 toolchain files share. They set _mingwTriple and
# _wineBits before including this file.

set(CMAKE_SYSTEM_NAME Windows)

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

# The C, C++ and thread runtimes linked in, so that the binaries import only
# Windows system libraries and load on a machine without mingw DLLs.
set(_mingwStaticLink "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_mingwStaticLink}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_mingwStaticLink}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_mingwStaticLink}")

get_filename_component(_varnoxRoot "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${_varnoxRoot}/scripts/wine-run;--root;${CMAKE_BINARY_DIR};${_wineBits}")
