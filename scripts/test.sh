#!/usr/bin/env bash
# Checks the sources' format, builds Polyquinta with warnings as errors and
# runs every test: the suite; the LV2 bundle's validation, the installation
# and the Debian package; the Windows plug-in and its tests, built with
# MinGW-w64 and run under Wine; the suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, from a clang build that also holds the fuzzers,
# and bounded fuzzing runs of the saved-state reader, of the plug-in's
# event intake and of the VST3 guard's state reader; and the suite again
# under ThreadSanitizer. Every build goes
# through ccache, so a second run compiles almost nothing.
#   scripts/test.sh --quick   builds the plain configuration and runs the suite, nothing else
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# ccache hashes the paths inside the checkout relative to it, so that another
# checkout of the same sources (a clean clone, a worktree) compiles almost
# nothing either. Set here, not in the build: a cached object's debugging
# information then names the folder that compiled it first, which a debugger
# would follow; the test builds are run, not debugged.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true

jobs=$(nproc)
fuzz_seconds=${POLYQUINTA_FUZZ_SECONDS:-60}

# The tests open real windows; Xvfb gives them a display of their own.
run_suite() {
    local dir=$1
    shift
    xvfb-run -a -s "-screen 0 1280x800x24" ctest --test-dir "$dir" --output-on-failure -j"$jobs" "$@"
}

build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DPOLYQUINTA_WERROR=ON "$@"
    cmake --build "$dir" -j"$jobs"
}

fuzz() {
    local name=$1 seeds=$2 regressions=$3
    local corpus=build-asan/corpus/$name
    mkdir -p "$corpus"
    cp "$seeds"/* "$corpus"/
    echo "== fuzzing ${name} for ${fuzz_seconds} s"
    if ! build-asan/tests/fuzz/"$name" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=4096 \
            -artifact_prefix=build-asan/ "$corpus" "$regressions" >build-asan/"$name".log 2>&1; then
        tail -n 40 build-asan/"$name".log
        echo "fuzzing ${name} found a fault"
        exit 1
    fi
    grep -E "^Done" build-asan/"$name".log || true
}

if [ "${1:-}" = --quick ]; then
    echo "== build and test (quick)"
    build build
    run_suite build
    exit 0
fi

echo "== source format"
# Our sources keep the style .clang-format states.
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== build and test"
build build
run_suite build

echo "== LV2 bundle, installation and Debian package"
scripts/check-packages.sh build

echo "== Windows build, tested under Wine"
scripts/build-windows.sh --target all
run_suite build-win

echo "== address and undefined-behaviour sanitizers, and fuzzing"
# One clang build serves both: the suite runs on the fuzzers' coverage
# instrumentation too, and libFuzzer needs clang. A folder configured with
# another compiler would lose these options on the switch: it starts afresh.
grep -qs 'CMAKE_CXX_COMPILER:.*clang++' build-asan/CMakeCache.txt || rm -rf build-asan/CMakeCache.txt build-asan/CMakeFiles
build build-asan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DPOLYQUINTA_FUZZ=ON -DPOLYQUINTA_SANITIZE=address,undefined
# The sanitizers' runtime can take an ordinary dynamic TLS block for an old
# glibc's header, depending only on where malloc put it, and its leak check
# then crashes at exit; not tracking those blocks avoids that.
ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 UBSAN_OPTIONS=print_stacktrace=1 run_suite build-asan
fuzz state_chunk_fuzzer tests/fuzz/corpus-state tests/fuzz/regressions-state
fuzz events_fuzzer tests/fuzz/corpus-events tests/fuzz/regressions-events
fuzz vst3_state_fuzzer tests/fuzz/corpus-vst3-state tests/fuzz/regressions-vst3-state

echo "== thread sanitizer"
build build-tsan -DPOLYQUINTA_SANITIZE=thread
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" run_suite build-tsan
