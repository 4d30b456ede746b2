# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads).
# With the static Qt for MinGW that scripts/windows-qt makes, Qt's toolchain
# file loads this one and the whole program is built:
#   qt=$(scripts/windows-qt | tail -1)
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=$qt/lib/cmake/Qt6/qt.toolchain.cmake \
#         -DQT_CHAINLOAD_TOOLCHAIN_FILE=$PWD/cmake/mingw-w64.cmake
# Without it (Debian has no Qt for MinGW) only the core, qbxtool and their
# tests are built:
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# Every .exe stands alone; CTest runs the tests with wine64.
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

if(NOT QT_CHAINLOAD_TOOLCHAIN_FILE)
  set(QBX_BUILD_VIEW OFF CACHE BOOL "Debian has no Qt for MinGW" FORCE)
endif()
