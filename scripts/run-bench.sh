#!/usr/bin/env bash
# Builds the benchmark program (the default build type, in build-bench/) and runs it: every
# case beside its peer, seven repetitions each, and a table of ratios (ours / peer, from the
# median CPU times) at the end. Arguments go to the program, e.g. --benchmark_filter=LoadBmp to run some cases.
# The frame in a real window is measured on a private X server (Xvfb, 640 x 480 x 24) started
# here, which then serves the demo's idle figures (bench/idle.sh) and the memory rows (peak
# memory of the demo and the examples beside a minimal SDL2 program, and the storm test's run
# read for growth: bench/memory.sh). Last, the demo's web page is measured in headless chromium
# (bench/web.sh).
# Installs missing packages first (see deps.sh). The machine should be otherwise idle.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
source tests/e2e/lib/xsession.bash
need_tools Xvfb xdotool xdpyinfo xmessage

cmake -S . -B build-bench -DTARN_TESTS=ON >/dev/null
cmake --build build-bench -j "$(nproc)" --target tarn_bench tarn_present_count myfirsttarn \
    tarn_minimal_frame test_storm viewer sprites pixels input shapes
make_work_dir
start_xvfb 640x480x24
build-bench/bin/tarn_bench "$@"
bench/idle.sh build-bench .
bench/memory.sh build-bench .
# The demo's page in headless chromium.
bench/web.sh
