#!/usr/bin/env bash
# The Windows half of the test run: builds the library, the demo and the tests for 64-bit
# Windows with MinGW-w64 (build-win64/) and runs them under wine against Wine's DirectDraw, GDI
# and DirectInput: the portable unit tests through CTest (the others are reported skipped with
# their reasons) and the demo on the screen; examples/consumer is built against its install and
# run. Then compiles everything for 32-bit x86 Windows (build-win32/), where the structure sizes
# are checked at compile time; that build is not run.
# One X server (Xvfb, 640 x 480 x 24, so the demo's 640 x 480 x 16 mode exists) and one Wine
# prefix (a temporary folder) serve the whole run. In CI (CI=true) warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
jobs=$(nproc)

work=$(mktemp -d "${TMPDIR:-/tmp}/tarn-windows.XXXXXX")
xvfb_pid=""
cleanup() {
    local status=$?
    set +e
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT

# The X server, on a display number it picks itself.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
if ! read -r -t 15 number <"$work/displayfd"; then
    cat "$work/xvfb.log" >&2
    echo "Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$number"
unset WAYLAND_DISPLAY

# The Wine prefix. Its server and services start here with their output sent nowhere: a
# service that inherited a test's output pipe would keep CTest waiting for the end of it.
# Wine's Mono and Gecko are not wanted (no download dialogs).
export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot -i </dev/null >/dev/null 2>&1

# 64-bit: build (the build itself runs the landscape generator under wine) and run.
cmake --no-warn-unused-cli -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
    -DTARN_WERROR=$werror >/dev/null
cmake --build build-win64 -j "$jobs"
# Windows programs end their lines with carriage returns; they go before anything reads them.
ctest --test-dir build-win64 --output-on-failure -j "$jobs" 2>&1 | tr -d '\r'
echo "Skipped on Windows:"
grep -h '^test_[a-z_0-9]*: not run on Windows: ' build-win64/Testing/Temporary/LastTest.log | sed 's/^/  /' || true

# A program outside the tree built against the 64-bit install with find_package, run under wine.
scripts/test-consumer.sh windows build-win64

# 32-bit x86: compile and link only.
cmake --no-warn-unused-cli -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
    -DTARN_WERROR=$werror >/dev/null
cmake --build build-win32 -j "$jobs"
