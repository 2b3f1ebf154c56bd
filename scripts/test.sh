#!/usr/bin/env bash
# Builds Polyquinta and runs every test: the suite, the suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and a bounded fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${POLYQUINTA_FUZZ_SECONDS:-60}

# The tests open real windows; Xvfb gives them a display of their own.
run_suite() {
    xvfb-run -a -s "-screen 0 1280x800x24" ctest --test-dir "$1" --output-on-failure -j"$jobs"
}

echo "== build and test"
cmake -S . -B build -G Ninja
cmake --build build -j"$jobs"
run_suite build

echo "== address and undefined-behaviour sanitizers"
cmake -S . -B build-asan -G Ninja -DPOLYQUINTA_SANITIZE=address,undefined
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_suite build-asan

if command -v clang++ >/dev/null 2>&1; then
    echo "== fuzzing the saved-state reader for ${fuzz_seconds} s"
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
          -DPOLYQUINTA_FUZZ=ON -DPOLYQUINTA_SANITIZE=address,undefined
    cmake --build build-fuzz -j"$jobs"
    corpus=build-fuzz/corpus/state
    mkdir -p "$corpus"
    cp tests/fuzz/corpus/* "$corpus"/
    build-fuzz/tests/fuzz/state_chunk_fuzzer -max_total_time="$fuzz_seconds" -rss_limit_mb=4096 \
        -print_final_stats=1 "$corpus" 2>build-fuzz/state_fuzz.log \
        || { tail -n 40 build-fuzz/state_fuzz.log; echo "fuzzing found a fault"; exit 1; }
    grep -E "stat::number_of_executed_units|Done" build-fuzz/state_fuzz.log || true
else
    echo "== clang not present: fuzzing skipped"
fi
