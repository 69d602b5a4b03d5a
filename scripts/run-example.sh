#!/usr/bin/env bash
# Builds one example and runs it in a window on this display, from its own folder (build/bin),
# where the build copies its files, the demo's picture and the sounds folder (files named on the
# command line are found from where you are). Arguments after the name go to the example; F11
# switches to full screen and back, Escape ends it.
#   scripts/run-example.sh viewer|sprites|pixels|input|shapes|sound [ARGUMENTS...]
set -euo pipefail
cd "$(dirname "$0")/.."
name=${1:-}
if [ -z "$name" ] || [ ! -f "examples/$name/CMakeLists.txt" ] || [ "$name" = consumer ]; then
    echo "usage: scripts/run-example.sh viewer|sprites|pixels|input|shapes|sound [ARGUMENTS...]" >&2
    exit 2
fi
shift
scripts/deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)" --target "$name"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "There is no display to show the example on. To run it under Xvfb:" >&2
    echo "  xvfb-run -s '-screen 0 1024x768x24' scripts/run-example.sh $name" >&2
    exit 1
fi
# Paths given on the command line still name the same files from there.
arguments=()
for argument in "$@"; do
    if [ -e "$argument" ]; then arguments+=("$(realpath "$argument")"); else arguments+=("$argument"); fi
done
cd build/bin
exec ./"$name" "${arguments[@]}"
