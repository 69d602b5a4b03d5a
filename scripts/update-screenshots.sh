#!/usr/bin/env bash
# Builds the examples and writes their pictures in docs/images/ afresh from what they draw on
# the headless host (scripts/screenshot.sh write, for every examples/*/screenshot.script). The
# test run only compares with these files; run this when a change to an example, or to what
# the library draws, is meant to change them, and look at the new pictures before committing.
#   scripts/update-screenshots.sh [NAME...]
set -euo pipefail
cd "$(dirname "$0")/.."
names=("$@")
if [ ${#names[@]} = 0 ]; then
    for script in examples/*/screenshot.script; do names+=("$(basename "$(dirname "$script")")"); done
fi
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)" --target tarnimg "${names[@]}"
for name in "${names[@]}"; do scripts/screenshot.sh write "$name" build; done
