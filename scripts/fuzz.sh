#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, then
# for each target: replays every committed regression input and every seed once (the seeds are
# the test fixtures, or fuzz/seeds/<target>/ for a target they do not fit, each named by the
# SHA-1 of its content so that none hides another), and runs the target for the given number of
# seconds (default 60) on a corpus grown from the seeds.
# Crashes land in fuzz/corpus-work/<target>/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=$(nproc 2>/dev/null || echo 4)

CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQELD_SANITIZE=ON -DQELD_FUZZ=ON -DQELD_TESTS=OFF -DQELD_BENCH=OFF -DQELD_WERROR=ON > /dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz_schema fuzz_validate fuzz_extract fuzz_url fuzz_regex

export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in fuzz_schema fuzz_validate fuzz_extract fuzz_url fuzz_regex; do
  work=fuzz/corpus-work/$target
  rm -rf "$work/seeds"
  mkdir -p "$work/seeds" "$work/corpus" "$work/artifacts"
  fixtures=(tests/cli/cases docs/examples examples fuzz/schemas)
  case $target in
    fuzz_schema) pattern='*.qeld' sources=("${fixtures[@]}") ;;
    fuzz_url) pattern='*' sources=(fuzz/seeds/fuzz_url) ;;
    fuzz_regex) pattern='seed*.txt' sources=(fuzz/patterns) ;;
    *) pattern='*.toml' sources=("${fixtures[@]}") ;;
  esac
  find "${sources[@]}" -type f -name "$pattern" -size -10k -print0 |
    while IFS= read -r -d '' file; do
      hash=$(sha1sum < "$file")
      cp "$file" "$work/seeds/${hash%% *}"
    done
  regressions=()
  if [ -d "fuzz/regressions/$target" ]; then
    while IFS= read -r -d '' file; do regressions+=("$file"); done \
      < <(find "fuzz/regressions/$target" -type f ! -name '.*' -print0 | sort -z)
  fi

  # Given files instead of a folder, libFuzzer runs each exactly once: the same inputs every time.
  echo "== $target: replaying ${#regressions[@]} regression inputs and $(ls "$work/seeds" | wc -l) seeds"
  replay_log=$work/replay.log
  if ! find "$work/seeds" -type f -print0 | sort -z |
      xargs -0 "build-fuzz/fuzz/$target" -timeout=2 -rss_limit_mb=2048 ${regressions[@]+"${regressions[@]}"} \
        > "$replay_log" 2>&1; then
    tail -n 40 "$replay_log" >&2
    echo "$target fails on a regression input or a seed (whole log: $replay_log)" >&2
    exit 1
  fi

  echo "== $target for ${seconds}s"
  "build-fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=10000 -timeout=2 -rss_limit_mb=2048 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus" "$work/seeds" 2>&1 |
    grep -E '^(#[0-9]+[[:space:]]+INITED|stat::number_of_executed_units|stat::peak_rss_mb|==|SUMMARY|Done)' || true
  if ls "$work/artifacts"/* > /dev/null 2>&1; then
    echo "$target found failing inputs in $work/artifacts" >&2
    exit 1
  fi
done
