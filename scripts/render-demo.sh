#!/usr/bin/env bash
# Builds Polyquinta and plays the bundled demo song through the plug-in:
# prints every note in and out, and writes the harmonized MIDI file and its
# piano roll into the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j"$(nproc)" --target polyquinta-render

build/tools/polyquinta-render resources/demo/demo.mid build/demo-harmonized.mid \
    --print --piano-roll build/demo-piano-roll.png
echo "Wrote build/demo-harmonized.mid and build/demo-piano-roll.png"
