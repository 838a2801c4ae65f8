#!/usr/bin/env bash
# Installs what is missing, builds the plain and the sanitizer configuration and runs the whole
# test suite headless in both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

cmake --preset dev >/dev/null
cmake --build --preset dev
ctest --preset dev
