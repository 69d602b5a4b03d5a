#!/usr/bin/env bash
# Builds everything and runs every test. Installs missing packages first (see deps.sh).
# The API reference is built (make-docs.sh); an undocumented public call fails.
# Then examples/consumer and the examples are built against the install
# (scripts/test-consumer.sh), and docs/guide.md is followed as written (scripts/check-guide.sh).
# The web pages are built with Emscripten and tested in headless chromium (scripts/test-web.sh).
# In CI (CI=true) warnings are errors. Then the whole suite runs a second time built with
# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer (build-asan/), and each
# picture-decoder fuzzer runs for a short while (fuzz/run.sh); any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
jobs=$(nproc)

cmake -S . -B build -DTARN_WERROR=$werror >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# The API reference: a public call without its comment fails the run.
scripts/make-docs.sh

# A program outside the tree built against this build's install every way a project takes Tarn.
scripts/test-consumer.sh linux build

# The guide, followed step by step in a fresh home directory.
scripts/check-guide.sh

# The demo and the examples as web pages, in a real browser.
scripts/test-web.sh build

# The sanitizer run: any report (memory error, undefined behaviour, leak) ends the test
# program with a failure.
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# Warnings are checked by the build above; gcc's flow analysis under the sanitizers gives false
# "may be used uninitialized" warnings, so they are not errors here.
cmake -S . -B build-asan -DTARN_SANITIZE=ON -DTARN_BENCH=OFF -DTARN_WERROR=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

# A short fuzzing smoke run of every decoder target (longer runs: fuzz/run.sh SECONDS).
fuzz/run.sh "${TARN_FUZZ_SECONDS:-20}"

# The same library built for Windows with MinGW-w64, its tests and the demo run under wine.
scripts/run-windows.sh
