#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, seeds
# their corpora from the test fixtures and the committed regression inputs, and runs each target
# for the given number of seconds (default 60). Crashes land in fuzz/corpus-work/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=$(nproc 2>/dev/null || echo 4)

CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQELD_SANITIZE=ON -DQELD_FUZZ=ON -DQELD_TESTS=OFF -DQELD_BENCH=OFF -DQELD_WERROR=ON > /dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz_schema fuzz_validate fuzz_extract fuzz_regex

for target in fuzz_schema fuzz_validate fuzz_extract fuzz_regex; do
  work=fuzz/corpus-work/$target
  mkdir -p "$work/corpus" "$work/artifacts"
  case $target in
    fuzz_schema) pattern='*.qeld' ;;
    fuzz_regex) pattern='seed*.txt' ;;
    *) pattern='*.toml' ;;
  esac
  find tests/cli/cases examples fuzz/schemas fuzz/patterns -name "$pattern" -size -10k -exec cp -n {} "$work/corpus/" \; 2>/dev/null || true
  if [ -d "fuzz/regressions/$target" ]; then cp -n fuzz/regressions/$target/* "$work/corpus/" 2>/dev/null || true; fi
  echo "== $target for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build-fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=10000 -timeout=2 -rss_limit_mb=2048 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus" 2>&1 | grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|==|SUMMARY|Done)' || true
  if ls "$work/artifacts"/* > /dev/null 2>&1; then
    echo "$target found failing inputs in $work/artifacts" >&2
    exit 1
  fi
done
