#!/usr/bin/env bash
# Builds Polyquinta.dll for 64-bit Windows hosts with MinGW-w64:
#   build-win/plugin/Polyquinta.dll
# Extra arguments go to the build step, e.g. `scripts/build-windows.sh --target all`
# also builds the Windows test programs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build-mingw-deps.sh build-win/mingw-deps

cmake -S . -B build-win -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release \
      -DPOLYQUINTA_MINGW_DEPS="$PWD/build-win/mingw-deps" -DPOLYQUINTA_WERROR=ON >/dev/null

if [ $# -eq 0 ]; then
    set -- --target Polyquinta
fi
cmake --build build-win -j"$(nproc)" "$@"
ls -l build-win/plugin/Polyquinta.dll
