#!/usr/bin/env bash
# The Windows half of the test run: builds the library, the demo and the tests for 64-bit
# Windows with MinGW-w64 (build-win64/) and runs them under wine against Wine's DirectDraw, GDI,
# DirectInput and DirectSound (into an ALSA output of the run's own): the portable unit tests
# through CTest (the others are reported skipped with their reasons), the demo, input and the
# examples on the screen, tarnsnd playing, and examples/consumer built against the 64-bit
# install. Then the same for 32-bit x86 Windows (build-win32/, where the
# structure sizes are also checked at compile time) under 32-bit Wine, run by the same 64-bit
# prefix as Windows runs 32-bit programs (WoW64).
# 32-bit Wine is a 32-bit Linux program, so the machine is probed first and the run says which
# path it takes and why. Where 32-bit programs run, 32-bit Wine is installed with the 32-bit X
# extension libraries (display modes) and 32-bit Mesa (without OpenGL beside it, Wine's DirectDraw
# makes no video-memory surfaces). Where they do not, 32-bit Wine is not installed (it would take
# the `wine` command over from 64-bit Wine); the 32-bit build is compiled, not run, the consumer
# and the examples are built against its install, and the 32-bit package list is checked
# against the package archive, so that the other path stays right.
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
# What 32-bit Wine needs beside it: the X extension libraries to set display modes, and Mesa's
# OpenGL, without which its DirectDraw makes no surfaces in video memory.
packages32=(wine32:i386 libxrandr2:i386 libxxf86vm1:i386 libxext6:i386 libxrender1:i386
    libxi6:i386 libxcursor1:i386 libxinerama1:i386 libxcomposite1:i386
    libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386)

# The 32-bit package names the archive does not know (checked by name, as dpkg here may know no
# i386 architecture); a misspelt or withdrawn name would only show on a machine that runs them.
unknown_packages() {
    local p
    for p in "$@"; do
        apt-cache show --no-all-versions "${p%%:*}" >/dev/null 2>&1 || echo "$p"
    done
}

run32=0
if runs_32bit_programs; then
    run32=1
    echo "run-windows.sh: this machine runs 32-bit x86 programs: 32-bit Wine is installed and the" \
        "32-bit build is run under it as well as the 64-bit one"
    packages+=("${packages32[@]}")
else
    echo "run-windows.sh: this machine's kernel runs no 32-bit x86 programs (a minimal 32-bit" \
        "program failed to start), so 32-bit Wine cannot start here: the 32-bit build is" \
        "compiled, not run, and its package list is only checked against the archive"
    # A machine whose package lists were never fetched knows no package at all.
    if ! apt-cache show --no-all-versions wine >/dev/null 2>&1 && [ "$(id -u)" -eq 0 ]; then
        apt-get update -qq
    fi
    if apt-cache show --no-all-versions wine >/dev/null 2>&1; then
        missing=$(unknown_packages "${packages32[@]}")
        if [ -n "$missing" ]; then
            echo "run-windows.sh: the archive has no package named:" $missing >&2
            exit 1
        fi
    else
        echo "run-windows.sh: the 32-bit package list is not checked: apt knows no packages" \
            "(run apt-get update as root)"
    fi
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
# Every Tarn game opens the sound device, and this machine may have no sound card: ALSA, under
# Wine's DirectSound, gets a configuration of the run's own whose default device is its null
# device, so that programs play into nothing instead of each printing ALSA's complaints.
# (tests/wine/sound.sh gives it a file output to check what was played.)
cat >"$work/asound.conf" <<'CONF'
pcm.!default {
    type null
}
CONF
export ALSA_CONFIG_PATH=$work/asound.conf
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot -i </dev/null >/dev/null 2>&1

# Each width is built (the build itself runs the landscape generator under wine) and run.
build() {
    cmake --no-warn-unused-cli -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="$2" -DTARN_WERROR=$werror \
        >/dev/null
    cmake --build "$1" -j "$jobs"
}
# Windows programs end their lines with carriage returns; they go before anything reads them.
# After the run, the programs reported skipped and the cases skipped inside a program are listed
# with their reasons (a case skips when the machine lacks what it needs, such as video memory).
run_tests() {
    local status=0
    ctest --test-dir "$1" --output-on-failure -j "$jobs" 2>&1 | tr -d '\r' || status=$?
    local log=$1/Testing/Temporary/LastTest.log
    echo "Skipped on Windows:"
    tr -d '\r' <"$log" | grep '^test_[a-z_0-9]*: not run on Windows: ' | sed 's/^/  /' || true
    # GoogleTest writes "FILE:LINE: Skipped", the reason, then "[  SKIPPED ] Suite.Case (n ms)".
    tr -d '\r' <"$log" | awk '
        /: Skipped$/ { getline reason; next }
        /^\[  SKIPPED \] [^ ]+ \(/ && reason != "" {
            if (!shown++) print "Cases skipped for what this machine lacks:"
            print "  " $4 ": " reason; reason = ""
        }'
    return "$status"
}

build build-win64 cmake/toolchain-mingw64.cmake
echo "64-bit x86 Windows, under 64-bit Wine:"
run_tests build-win64
# A program outside the tree built against the 64-bit install with find_package, run under wine.
scripts/test-consumer.sh windows build-win64

build build-win32 cmake/toolchain-mingw32.cmake
if [ "$run32" = 1 ]; then
    echo "32-bit x86 Windows, under 32-bit Wine:"
    run_tests build-win32
    scripts/test-consumer.sh windows build-win32
else
    echo "32-bit x86 Windows: compiled only (structure sizes checked), and the consumer and the" \
        "examples built against its install; this machine's kernel runs no 32-bit x86 programs," \
        "so 32-bit Wine cannot start here"
    scripts/test-consumer.sh windows build-win32 build-only
fi
