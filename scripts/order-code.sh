#!/usr/bin/env bash
# Writes src/main/code_order.txt: the functions qeld runs, in the order it first runs them, while it
# validates the benchmark's typical config (named on the command line, then by its own [vantle]
# table) and the shipped examples (valid and invalid) and extracts a schema. Where ld.lld is
# there, the link lays the functions out in that order, so a short run touches few pages of code.
# Needs valgrind; run it after changes that move much code (a stale order only costs start-up
# time). Usage: scripts/order-code.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
command -v valgrind > /dev/null || { echo "order-code: valgrind is needed" >&2; exit 1; }
cmake --build "$build" --target qeld qeld_bench > /dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/qeld_bench" --write-typical "$work"
{ cat "$work/typical.toml"; printf '\n[vantle]\nlocation = "typical.qeld"\n'; } > "$work/located.toml"

runs=0
trace() {
  runs=$((runs + 1))
  valgrind --tool=lackey --trace-mem=yes --log-file="$work/trace.$runs" "$build/qeld" "$@" > /dev/null 2>&1 || true
}
trace validate "$work/typical.qeld" "$work/typical.toml"
trace validate "$work/located.toml"
trace validate examples/server.qeld examples/server-valid.toml
trace validate examples/server.qeld examples/server.toml
trace extract "$work/typical.toml" "$work/extracted.qeld"

# Text symbols by address; a split-off cold part stays where the compiler put it.
nm -n "$build/qeld" | awk '$2 ~ /^[tTwW]$/ && $3 !~ /\.cold$/ { print $1, $3 }' > "$work/symbols"

{
  echo "# The functions of a short qeld run in the order it first runs them, for ld.lld's"
  echo "# --symbol-ordering-file. Written by scripts/order-code.sh: do not edit by hand."
  for n in $(seq 1 "$runs"); do cat "$work/trace.$n"; done |
    awk -v symbols="$work/symbols" '
      function hex(text,   i, n) {
        n = 0
        text = tolower(text)
        for (i = 1; i <= length(text); i++) n = n * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
        return n
      }
      BEGIN {
        while ((getline line < symbols) > 0) {
          split(line, f, " ")
          count++
          start[count] = hex(f[1])
          name[count] = f[2]
        }
        low = 0; high = -1
      }
      $1 == "I" {
        split($2, f, ",")
        address = hex(f[1])
        if (address >= low && address < high) next
        lo = 1; hi = count
        if (count == 0 || address < start[1]) next
        while (lo < hi) {
          mid = int((lo + hi + 1) / 2)
          if (start[mid] <= address) lo = mid; else hi = mid - 1
        }
        low = start[lo]; high = lo < count ? start[lo + 1] : address + 1
        if (!(name[lo] in seen)) { seen[name[lo]] = 1; print name[lo] }
      }'
} > src/main/code_order.txt
echo "order-code: $(grep -vc '^#' src/main/code_order.txt) functions in src/main/code_order.txt"
