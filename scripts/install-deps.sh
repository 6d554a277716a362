#!/usr/bin/env bash
# Installs everything the build, the tests, the benchmark and the fuzzers need on a fresh Debian machine.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
  build-essential g++ cmake ninja-build pkg-config \
  clang libclang-rt-14-dev \
  libtomlplusplus-dev libre2-dev libicu-dev icu-devtools libgtest-dev
