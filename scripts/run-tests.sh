#!/usr/bin/env bash
# Builds everything and runs every test. Installs missing packages first (see deps.sh).
# In CI (CI=true) warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
jobs=$(nproc)

cmake -S . -B build -DTARN_WERROR=$werror >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# The same library built for Windows with MinGW-w64, its tests and the demo run under wine.
scripts/run-windows.sh
