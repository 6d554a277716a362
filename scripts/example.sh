#!/usr/bin/env bash
# Builds qeld and validates the shipped example document against its schema.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build --target qeld > /dev/null
status=0
./build/qeld validate examples/server.qeld examples/server.toml || status=$?
echo "(exit status $status)"
