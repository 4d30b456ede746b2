# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads):
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# Builds the core, qbxtool and their tests as self-contained .exe files
# (Debian has no Qt for MinGW, so the view is left out); CTest runs the
# tests with wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QBX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QBX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QBX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QBX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QBX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No DLLs of the compiler's run time to ship beside each program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)

set(QBX_BUILD_VIEW OFF CACHE BOOL "Debian has no Qt for MinGW" FORCE)
