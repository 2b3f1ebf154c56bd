#!/usr/bin/env bash
# Builds libpng and libjpeg as static MinGW-w64 libraries from Debian's own
# source packages (Debian ships no Windows build of either), for the framework's
# image code in the Windows plug-in. zlib comes from libz-mingw-w64-dev.
#   scripts/build-mingw-deps.sh PREFIX
# Does nothing when PREFIX already holds both libraries.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

prefix=${1:?usage: build-mingw-deps.sh PREFIX}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
if [ -f "$prefix/lib/libpng16.a" ] && [ -f "$prefix/lib/libjpeg.a" ] && grep -q "#if 1" "$prefix/include/jconfig.h" 2>/dev/null; then
    exit 0
fi

work=$prefix/src
rm -rf "$work"
mkdir -p "$work"
cd "$work"
echo "== fetching Debian's libpng1.6 and libjpeg-turbo sources"
apt-get source -qq libpng1.6 libjpeg-turbo >apt-source.log 2>&1 || { cat apt-source.log; exit 1; }

toolchain=$root/cmake/mingw-w64-x86_64.cmake
common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_POSITION_INDEPENDENT_CODE=ON -Wno-dev)

echo "== libjpeg for MinGW"
# No SIMD: it would need nasm, and the editor decodes one small picture.
cmake -S libjpeg-turbo-*/ -B build-jpeg "${common[@]}" \
      -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF >/dev/null
cmake --build build-jpeg --target install >/dev/null
# Installed by Debian's package as well: the framework's decoder includes it.
cp libjpeg-turbo-*/jpegint.h "$prefix/include/"
# The framework includes jpeglib.h inside a namespace of its own, after
# windows.h, and expects `boolean` there: declare it unconditionally (the
# same type, unsigned char, that rpcndr.h declares).
sed -i 's|^#ifndef __RPCNDR_H__.*|#if 1 /* always: the framework looks for boolean in its own namespace */|' "$prefix/include/jconfig.h"

echo "== libpng for MinGW"
cmake -S libpng1.6-*/ -B build-png "${common[@]}" \
      -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
      -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a \
      -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include >/dev/null
cmake --build build-png --target install >/dev/null

cd "$root"
rm -rf "$work"
ls "$prefix/lib/libpng16.a" "$prefix/lib/libjpeg.a" "$prefix/include/jpegint.h" >/dev/null
