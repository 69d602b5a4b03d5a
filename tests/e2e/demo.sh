#!/usr/bin/env bash
# The demo as a person sees it, on a private X server through the SDL2 host: it starts full
# screen and shows landskap.bmp; when another window takes the focus it goes to sleep and uses
# no processor time; given the focus back it recovers its lost surfaces and shows the picture
# again; Escape ends it with exit code 0.
# Usage: demo.sh BIN_DIR SOURCE_DIR
set -euo pipefail
BIN=$1
SRC=$2
source "$SRC/tests/e2e/lib/xsession.bash"

need_tools Xvfb xdotool xdpyinfo xmessage import convert compare timeout
[ -x "$BIN/myfirsttarn" ] || fail "$BIN/myfirsttarn is not built"
[ -f "$BIN/../assets/landskap.bmp" ] || fail "$BIN/../assets/landskap.bmp is not built"

make_work_dir
start_xvfb 640x480x16
mkdir "$E2E_WORK/run"
cp "$BIN/../assets/landskap.bmp" "$E2E_WORK/run/"

start_program "$E2E_WORK/run" demo "$BIN/myfirsttarn"
demo=$PROGRAM_PID
window=$(wait_window MyFirstTarn "$demo")
check_sdl_video "$E2E_WORK/demo.err"
expect_screen "$E2E_WORK/run/landskap.bmp" 20 start

# Another program takes the focus with a window over the middle of the screen.
xmessage -geometry 400x300+120+90 -buttons "" "another program" &
E2E_PIDS+=($!)
other=$(wait_window xmessage $!)
xdotool windowfocus --sync "$other"
sleep 1 # the demo hears of the focus change and stops drawing
before=$(cpu_ticks "$demo")
sleep 2
used=$(($(cpu_ticks "$demo") - before))
# Two seconds of frames take far more; a sleeping program takes none.
[ "$used" -le 5 ] || fail "the demo used $used clock ticks in 2 s without the focus"

# Back to the demo: it must draw again, over what the other window left behind.
xdotool windowfocus --sync "$window"
xdotool windowraise "$window"
kill "${E2E_PIDS[-1]}"
expect_screen "$E2E_WORK/run/landskap.bmp" 20 refocused

xdotool key Escape
wait_exit "$demo" 5
[ "$EXIT_CODE" = 0 ] || { cat "$E2E_WORK/demo.err" >&2; fail "the demo ended with $EXIT_CODE"; }
echo "PASS: picture shown, focus lost and regained, Escape ended the demo with 0"
