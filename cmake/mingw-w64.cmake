# Cross-compiles the Windows build with MinGW-w64 (Debian's g++-mingw-w64-x86-64-posix: the -posix
# thread model, which GoogleTest needs):
#   cmake -S . -B build/mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# or `cmake --workflow --preset mingw`. The programs link statically, so that they run without the
# MinGW runtime DLLs beside them.
#
# When Wine is installed (Debian's wine64; its loader lives in /usr/lib/wine, not on PATH), the
# tests run under it through cmake/wine-run.sh, with a Wine prefix of the build's own in
# <build dir>/wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# wine64 before wine: Debian's /usr/bin/wine asks for the 32-bit loader unless WINEDEBUG is -all.
find_program(MINGW_WINE NAMES wine64 wine PATHS /usr/lib/wine DOC "Wine loader for the tests")
if(MINGW_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    /bin/sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${MINGW_WINE} ${CMAKE_BINARY_DIR}/wine)
endif()
