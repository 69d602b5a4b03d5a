#!/usr/bin/env bash
# Real input through the SDL2 host and the DirectInput stand-in into TarnInput, on a private X
# server: keys, mouse motion, the four mouse buttons and the wheel, sent with xdotool to
# tarninputprobe, which prints every change TarnInput sees.
# Usage: input.sh BIN_DIR SOURCE_DIR
set -euo pipefail
BIN=$1
SRC=$2
source "$SRC/tests/e2e/lib/xsession.bash"

need_tools Xvfb xdotool xdpyinfo timeout
[ -x "$BIN/tarninputprobe" ] || fail "$BIN/tarninputprobe is not built"

make_work_dir
start_xvfb 640x480x16
start_program "$E2E_WORK" probe "$BIN/tarninputprobe"
probe=$PROGRAM_PID
wait_window TarnInputProbe "$probe" >/dev/null
check_sdl_video "$E2E_WORK/probe.err"
source "$SRC/tests/e2e/lib/inputprobe.bash"

expect_line '^ready$'
drive_input_probe

xdotool key Escape
wait_exit "$probe" 5
[ "$EXIT_CODE" = 0 ] || fail "the probe ended with $EXIT_CODE"
echo "PASS: keys, mouse motion, buttons and wheel reached TarnInput"
