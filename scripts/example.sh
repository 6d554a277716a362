#!/usr/bin/env bash
# Builds qeld and validates the two shipped example documents against their schema: a valid one,
# then one that breaks several rules.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build --target qeld > /dev/null
for document in examples/server-valid.toml examples/server.toml; do
  echo "\$ qeld validate examples/server.qeld $document"
  status=0
  ./build/qeld validate examples/server.qeld "$document" 2>&1 || status=$?
  echo "(exit status $status)"
done
