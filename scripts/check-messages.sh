#!/usr/bin/env bash
# Lists every text of two words or more that the program's messages are built from and that the
# user's guide (docs/schema-language.md) does not quote; exits 1 if there is one. The texts of the
# TOML parser, the URL parser and the pattern compiler are left out: the guide shows them as the
# <reason> of a message. So are the texts of internal failures, which the guide covers as
# "internal error: <what>".
set -euo pipefail
cd "$(dirname "$0")/.."
guide=docs/schema-language.md
missing=0
while IFS= read -r file; do
  # Comments and internal failures aside, every string literal; escapes and the blanks, colons and
  # line feeds at its ends dropped.
  while IFS= read -r text; do
    [ "$(wc -w <<< "$text")" -ge 2 ] || continue
    if ! grep -qF -- "$text" "$guide"; then
      echo "$file: $text"
      missing=1
    fi
  done < <(grep -v -e '^[[:space:]]*//' -e 'invariant_failure(' "$file" | grep -oE '"([^"\\]|\\.)*"' |
           sed -E 's/^"//; s/"$//; s/\\n$//; s/\\"/"/g; s/^[[:space:]:]+//; s/[[:space:]:]+$//')
done < <(find src/schema src/cli src/extract src/main src/common -name '*.cpp' -o -name '*.h' | sort)
exit $missing
