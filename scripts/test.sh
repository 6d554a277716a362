#!/usr/bin/env bash
# Builds qeld with warnings as errors and runs every test: the g++ build, the whole suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer (clang), a brief run of each fuzz target
# on its corpus, and one small run of each benchmark to keep it building and running.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 4)

echo "== g++ build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELD_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== clang build and tests under AddressSanitizer and UndefinedBehaviorSanitizer"
CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELD_WERROR=ON \
  -DQELD_SANITIZE=ON -DQELD_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz targets, briefly"
scripts/fuzz.sh "${QELD_FUZZ_SECONDS:-60}"

echo "== benchmark, small size"
build/bench/qeld_bench --quick
build/bench/qeld_regex_bench --quick
