#!/usr/bin/env bash
# Builds Polyquinta and plays the bundled demo through the harmony engine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j"$(nproc)" --target polyquinta-demo
build/tools/polyquinta-demo
