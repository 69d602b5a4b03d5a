#!/usr/bin/env bash
# One example under wine, on the X server and Wine prefix that scripts/run-windows.sh set up
# (DISPLAY, WINEPREFIX): its window appears and shows a drawn frame (more than a few colours),
# and Escape ends it with exit code 0. Its arguments are those of its screenshot script, with
# the build's assets folder. The text example's frame is also compared with Linux's picture.
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

if [ "$NAME" = text ]; then
    # Its frame is compared with Linux's below. Wine fits windows to the screen its prefix
    # started on, and on the run's 640 x 480 one the window's frame would shrink its 640 x 480
    # client area: it runs on a larger screen of its own, in a prefix started there.
    start_xvfb 800x600x24
    export WINEPREFIX=$E2E_WORK/wine
    mkdir "$WINEPREFIX"
    trap 'wineserver -k >/dev/null 2>&1; e2e_cleanup' EXIT
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot -i </dev/null >/dev/null 2>&1
fi
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

# The text example draws the same pixels as on Linux: its window equals docs/images/text.png,
# except the one part it animates by the clock (the large outlined word fading in and out over
# the top right), which is blanked in both before they are compared. Wine may still fit the
# window to the size of the screen its prefix started on, and the example lays its text out by
# the client area: a window of another size is said and not compared.
eval "$(xdotool getwindowgeometry --shell "$window")"
if [ "$NAME" = text ] && [ "$WIDTH x $HEIGHT" != "640 x 480" ]; then
    echo "NOTE: text's frame not compared with Linux's: Wine made its window $WIDTH x $HEIGHT"
elif [ "$NAME" = text ]; then
    reference=$SRC/docs/images/text.png
    animated="rectangle 360,0 639,127"
    blank() { convert "$1" -fill black -draw "$animated" "$2"; }
    blank "$reference" "$E2E_WORK/reference.png"
    differ=unknown
    for _ in $(seq 1 20); do
        import -silent -window "$window" "$E2E_WORK/text.png" 2>/dev/null &&
            blank "$E2E_WORK/text.png" "$E2E_WORK/text-blanked.png" &&
            differ=$(compare -metric AE "$E2E_WORK/text-blanked.png" "$E2E_WORK/reference.png" \
                null: 2>&1) || true
        [ "$differ" = 0 ] && break
        sleep 0.3
    done
    if [ "$differ" != 0 ]; then
        cp "$E2E_WORK/text.png" "${TMPDIR:-/tmp}/tarn-wine-text.png" 2>/dev/null || true
        fail "its frame differs from $reference ($differ pixels outside the animated part;" \
            "the frame is kept in ${TMPDIR:-/tmp}/tarn-wine-text.png)"
    fi
    echo "its frame equals $reference outside the animated part"
fi

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
