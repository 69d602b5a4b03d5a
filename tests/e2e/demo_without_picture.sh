#!/usr/bin/env bash
# The demo started from a folder without landskap.bmp: it still runs full screen with a black
# display, and Escape still ends it with exit code 0.
# Usage: demo_without_picture.sh BIN_DIR SOURCE_DIR
set -euo pipefail
BIN=$1
SRC=$2
source "$SRC/tests/e2e/lib/xsession.bash"

need_tools Xvfb xdotool xdpyinfo import convert compare timeout
[ -x "$BIN/myfirsttarn" ] || fail "$BIN/myfirsttarn is not built"

make_work_dir
start_xvfb 640x480x16
mkdir "$E2E_WORK/run"
convert -size 640x480 xc:black "PNG24:$E2E_WORK/black.png"

start_program "$E2E_WORK/run" demo "$BIN/myfirsttarn"
demo=$PROGRAM_PID
wait_window MyFirstTarn "$demo" >/dev/null
check_sdl_video "$E2E_WORK/demo.err"
expect_screen "$E2E_WORK/black.png" 20 black

xdotool key Escape
wait_exit "$demo" 5
[ "$EXIT_CODE" = 0 ] || { cat "$E2E_WORK/demo.err" >&2; fail "the demo ended with $EXIT_CODE"; }
echo "PASS: black display without the picture, Escape ended the demo with 0"
