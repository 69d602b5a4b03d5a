#!/usr/bin/env bash
# One example under wine, on the X server and Wine prefix that scripts/run-windows.sh set up
# (DISPLAY, WINEPREFIX): its window appears and shows a drawn frame (more than a few colours),
# and Escape ends it with exit code 0. Its arguments are those of its screenshot script, with
# the build's assets folder.
# Usage: example.sh BIN_DIR SOURCE_DIR NAME
set -euo pipefail
BIN=$1
SRC=$2
NAME=$3
source "$SRC/tests/e2e/lib/xsession.bash"

need_tools xdotool xdpyinfo import convert wine
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run it through scripts/run-windows.sh"
[ -f "$BIN/$NAME.exe" ] || fail "$BIN/$NAME.exe is not built"
xdpyinfo >/dev/null 2>&1 || fail "the X server on $DISPLAY does not answer"

make_work_dir
mkdir "$E2E_WORK/run"
cp "$BIN/../assets/landskap.bmp" "$E2E_WORK/run/"
args=$(sed -n 's/^# args://p' "$SRC/examples/$NAME/screenshot.script" | head -1)
args=${args//@ASSETS@/.}
read -r -a arguments <<<"$args"

start_program "$E2E_WORK/run" "$NAME" wine "$BIN/$NAME.exe" "${arguments[@]}"
pid=$PROGRAM_PID
window=$(wait_window "Tarn: $NAME" "$pid")
colours=0
for _ in $(seq 1 50); do
    colours=$(import -silent -window "$window" "$E2E_WORK/shot.png" 2>/dev/null &&
        convert "$E2E_WORK/shot.png" -format %k info: 2>/dev/null) || colours=0
    [ "$colours" -gt 8 ] && break
    sleep 0.3
done
[ "$colours" -gt 8 ] || fail "the window showed no frame (${colours} colours)"

# Without a window manager the keyboard goes to the window under the pointer.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
xdotool key Escape
wait_exit "$pid" 15
if [ "$EXIT_CODE" != 0 ]; then
    tr -d '\r' <"$E2E_WORK/$NAME.err" >&2 || true
    fail "$NAME ended with $EXIT_CODE"
fi
echo "PASS: $NAME drew its window under wine ($colours colours); Escape ended it with 0"
