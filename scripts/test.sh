#!/usr/bin/env bash
# Builds and runs the whole test suite: a release build (soak tests
# included); the plug-in's unit, binary and editor tests under
# ThreadSanitizer (they render while other threads edit, load chunks and
# play the editor); the whole suite under AddressSanitizer and UBSan; then
# a short run of each fuzz target (clang-14, libFuzzer).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 600

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMAR_SANITIZE=thread -DPELMAR_BUILD_BENCHMARKS=OFF
cmake --build build-tsan -j"$jobs" --target pelmar_unit_tests pelmar_binary_tests pelmar_gui_tests
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
for suite in unit binary gui; do build-tsan/tests/pelmar_"$suite"_tests --gtest_brief=1; done
unset TSAN_OPTIONS

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMAR_SANITIZE=address,undefined \
      -DPELMAR_BUILD_BENCHMARKS=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 900

# Fuzz targets for 20 seconds each on their seed corpora; longer runs:
# scripts/fuzz.sh SECONDS (see the README).
bash scripts/fuzz.sh "${PELMAR_FUZZ_SECONDS:-20}"
