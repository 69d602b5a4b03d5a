#!/usr/bin/env bash
# Real input through Wine's DirectInput into TarnInput, on the X server and Wine prefix that
# scripts/run-windows.sh set up (DISPLAY, WINEPREFIX): keys, mouse motion, the mouse buttons
# and the wheel, sent with xdotool to the Windows tarninputprobe, which prints every change
# TarnInput sees.
# Usage: input.sh BIN_DIR SOURCE_DIR
set -euo pipefail
BIN=$1
SRC=$2
source "$SRC/tests/e2e/lib/xsession.bash"

need_tools xdotool xdpyinfo wine
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run it through scripts/run-windows.sh"
[ -f "$BIN/tarninputprobe.exe" ] || fail "$BIN/tarninputprobe.exe is not built"
xdpyinfo >/dev/null 2>&1 || fail "the X server on $DISPLAY does not answer"

make_work_dir
start_program "$E2E_WORK" probe wine "$BIN/tarninputprobe.exe"
probe=$PROGRAM_PID
wait_window TarnInputProbe "$probe" >/dev/null
# Without a window manager the keyboard goes to the window under the pointer.
xdotool mousemove 320 240

PROBE_WAIT=10
source "$SRC/tests/e2e/lib/inputprobe.bash"

expect_line '^ready$'
drive_input_probe

xdotool key Escape
wait_exit "$probe" 15
[ "$EXIT_CODE" = 0 ] || fail "the probe ended with $EXIT_CODE"
echo "PASS: keys, mouse motion, buttons and wheel reached TarnInput through Wine's DirectInput"
