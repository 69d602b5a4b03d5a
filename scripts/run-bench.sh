#!/usr/bin/env bash
# Builds the benchmark program (the default build type, in build-bench/) and runs it: every
# case beside its peer, seven repetitions each, and a table of ratios (ours / peer, from the
# median CPU times) at the end. Arguments go to the program, e.g. --benchmark_filter=LoadBmp to run some cases.
# Installs missing packages first (see deps.sh). The machine should be otherwise idle.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

cmake -S . -B build-bench -DTARN_TESTS=OFF >/dev/null
cmake --build build-bench --target tarn_bench -j "$(nproc)"
build-bench/bin/tarn_bench "$@"
