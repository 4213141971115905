#!/usr/bin/env bash
# Builds the engine and its tests with warnings as errors and the address and
# undefined-behaviour sanitizers, then runs every test in parallel.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORV_BUILD_DIR:-$root/build/test}"
jobs="$(nproc)"

"$root/scripts/deps.sh"

# Unoptimised: the sanitizer build compiles in about half the time at -O0,
# and the tests themselves spend far less time running than compiling.
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O0 -g" \
  -DORV_WERROR=ON -DORV_SANITIZE=ON -DORV_TESTS=ON -DORV_BENCH=OFF
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$build" -j "$jobs" --output-on-failure --timeout 300

# The thread stress tests again, under ThreadSanitizer, in a build of their own;
# optimised, so that the threads interleave at a realistic pace.
tsan_build="${ORV_TSAN_BUILD_DIR:-$root/build/tsan}"
cmake -S "$root" -B "$tsan_build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 -g" \
  -DORV_WERROR=ON -DORV_TSAN=ON -DORV_TESTS=ON -DORV_BENCH=OFF
cmake --build "$tsan_build" -j "$jobs"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
ctest --test-dir "$tsan_build" -j "$jobs" -L tsan --output-on-failure --timeout 300 --no-tests=ignore
