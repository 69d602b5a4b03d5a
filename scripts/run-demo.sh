#!/usr/bin/env bash
# Builds the demo and runs it full-screen on this display, from the folder holding landskap.bmp.
# Escape ends it. Without a display it says how to run it under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)" --target myfirsttarn

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "There is no display to show the demo on. To run it under Xvfb:" >&2
    echo "  xvfb-run -s '-screen 0 640x480x16' scripts/run-demo.sh" >&2
    exit 1
fi
cd build/assets
exec ../bin/myfirsttarn
