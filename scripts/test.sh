#!/usr/bin/env bash
# Builds qeld with warnings as errors and runs every test: the g++ build, an install into a
# temporary prefix, a clang Release build linked shared as where the static ICU archives are
# missing, the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer (clang),
# each fuzz target on every regression input and seed once and then briefly at random, and one
# small run of each benchmark to keep it building and running.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 4)

echo "== g++ build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELD_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== install into a temporary prefix"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build --prefix "$prefix" > /dev/null
[ "$("$prefix/bin/qeld" --version)" = "$(build/qeld --version)" ] || { echo "installed qeld --version differs"; exit 1; }
[ -s "$prefix/share/man/man1/qeld.1" ] || { echo "man page not installed"; exit 1; }

echo "== the guide quotes every message the program builds"
scripts/check-messages.sh

echo "== configure without tests and benchmark: neither toml++, GoogleTest nor RE2 is looked for"
cmake -S . -B build-minimal -G Ninja -DQELD_TESTS=OFF -DQELD_BENCH=OFF > /dev/null
if grep -qE '^(TOMLPP_INCLUDE_DIR|GTest_DIR|RE2_FOUND)[:=]' build-minimal/CMakeCache.txt; then
  echo "a minimal configure looked for a test-only dependency"; exit 1
fi

echo "== clang Release build and tests, configured as if the static ICU archives were missing"
CXX=clang++ cmake -S . -B build-shared -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELD_WERROR=ON \
  -DQELD_PRETEND_NO_STATIC_ICU=ON -DQELD_BENCH=OFF
cmake --build build-shared -j "$jobs"
readelf -d build-shared/qeld | grep -q 'NEEDED.*libicuuc' || { echo "the fallback did not link ICU shared"; exit 1; }
ctest --test-dir build-shared --output-on-failure -j "$jobs"

echo "== clang build and tests under AddressSanitizer and UndefinedBehaviorSanitizer"
CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELD_WERROR=ON \
  -DQELD_SANITIZE=ON -DQELD_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz targets: regression inputs and seeds once each, then briefly at random"
scripts/fuzz.sh "${QELD_FUZZ_SECONDS:-60}"

echo "== benchmark, small size"
build/bench/qeld_bench --quick
build/bench/qeld_regex_bench --quick
