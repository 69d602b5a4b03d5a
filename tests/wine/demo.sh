#!/usr/bin/env bash
# The Windows demo under wine, on the X server and Wine prefix that scripts/run-windows.sh set
# up (DISPLAY, WINEPREFIX): its window appears, the screen shows landskap.bmp (compared at 5-6-5
# precision, as the demo's display is 640 x 480 x 16), and Escape ends it with exit code 0.
# Usage: demo.sh BIN_DIR SOURCE_DIR
set -euo pipefail
BIN=$1
SRC=$2
source "$SRC/tests/e2e/lib/xsession.bash"

need_tools xdotool xdpyinfo import convert compare wine
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run it through scripts/run-windows.sh"
[ -f "$BIN/myfirsttarn.exe" ] || fail "$BIN/myfirsttarn.exe is not built"
[ -f "$BIN/../assets/landskap.bmp" ] || fail "$BIN/../assets/landskap.bmp is not built"
xdpyinfo >/dev/null 2>&1 || fail "the X server on $DISPLAY does not answer"

make_work_dir
mkdir "$E2E_WORK/run"
cp "$BIN/../assets/landskap.bmp" "$E2E_WORK/run/"

start_program "$E2E_WORK/run" demo wine "$BIN/myfirsttarn.exe"
demo=$PROGRAM_PID
window=$(wait_window MyFirstTarn "$demo")
expect_screen "$E2E_WORK/run/landskap.bmp" 30 start

# Without a window manager the keyboard goes to the window under the pointer.
xdotool mousemove 320 240
xdotool key Escape
wait_exit "$demo" 15
if [ "$EXIT_CODE" != 0 ]; then
    tr -d '\r' <"$E2E_WORK/demo.err" >&2
    fail "the demo ended with $EXIT_CODE"
fi
echo "PASS: window $window showed the picture under wine; Escape ended the demo with 0"
