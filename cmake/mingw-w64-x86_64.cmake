# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix threads).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Tests run under Wine: ctest starts every Windows program through wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

# libpng and libjpeg, built for MinGW from Debian's sources by scripts/build-mingw-deps.sh.
set(POLYQUINTA_MINGW_DEPS "" CACHE PATH "Prefix holding libpng and libjpeg built for MinGW")
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE} ${POLYQUINTA_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian's JUCE is a host package: its CMake files and modules serve this build too.
file(GLOB POLYQUINTA_HOST_JUCE_DIR LIST_DIRECTORIES true /usr/lib/*-linux-gnu/cmake/JUCE-*)
if(POLYQUINTA_HOST_JUCE_DIR)
    list(GET POLYQUINTA_HOST_JUCE_DIR 0 JUCE_DIR)
endif()

find_program(POLYQUINTA_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(POLYQUINTA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${POLYQUINTA_WINE})
endif()
