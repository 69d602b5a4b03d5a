#!/usr/bin/env bash
# The Windows half of the test run: builds the library, the demo and the tests for 64-bit
# Windows with MinGW-w64 (build-win64/) and runs them under wine against Wine's DirectDraw, GDI
# and DirectInput: the portable unit tests through CTest (the others are reported skipped with
# their reasons), the demo on the screen, and examples/consumer built against the 64-bit install.
# Then the same for 32-bit x86 Windows (build-win32/, where the structure sizes are also checked at
# compile time) under 32-bit Wine, run by the same 64-bit prefix as Windows runs 32-bit programs
# (WoW64). 32-bit Wine is a 32-bit Linux program: on a machine whose kernel runs none (checked
# first), the 32-bit build is compiled, not run, and 32-bit Wine is not installed, as it would take
# the `wine` command over from 64-bit Wine.
# One X server (Xvfb, 640 x 480 x 24, so the demo's 640 x 480 x 16 mode exists) and one Wine
# prefix (a temporary folder) serve the whole run. In CI (CI=true) warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."

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

# True when this machine runs 32-bit x86 Linux programs: the smallest one (an ELF header, one
# program header and exit(0) through int 0x80) is written out and started.
runs_32bit_programs() {
    local probe=$work/probe32
    printf '%b' '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
        '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
        '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
        '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' \
        '\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00' \
        '\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null
}

packages=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64)
run32=0
if runs_32bit_programs; then
    run32=1
    # 32-bit Wine sets display modes only with the 32-bit X extension libraries beside it.
    packages+=(wine32:i386 libxrandr2:i386 libxxf86vm1:i386 libxext6:i386 libxrender1:i386
        libxi6:i386 libxcursor1:i386 libxinerama1:i386 libxcomposite1:i386)
fi
scripts/deps.sh "${packages[@]}"

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
jobs=$(nproc)

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

# Each width is built (the build itself runs the landscape generator under wine) and run.
build() {
    cmake --no-warn-unused-cli -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="$2" -DTARN_WERROR=$werror \
        >/dev/null
    cmake --build "$1" -j "$jobs"
}
# Windows programs end their lines with carriage returns; they go before anything reads them.
run_tests() {
    ctest --test-dir "$1" --output-on-failure -j "$jobs" 2>&1 | tr -d '\r'
}

build build-win64 cmake/toolchain-mingw64.cmake
run_tests build-win64
echo "Skipped on Windows:"
grep -h '^test_[a-z_0-9]*: not run on Windows: ' build-win64/Testing/Temporary/LastTest.log | sed 's/^/  /' || true

# A program outside the tree built against the 64-bit install with find_package, run under wine.
scripts/test-consumer.sh windows build-win64

build build-win32 cmake/toolchain-mingw32.cmake
if [ "$run32" = 1 ]; then
    echo "32-bit x86 Windows, under 32-bit Wine:"
    run_tests build-win32
else
    echo "32-bit x86 Windows: compiled only; this machine's kernel runs no 32-bit x86 programs," \
        "so 32-bit Wine cannot start here"
fi
