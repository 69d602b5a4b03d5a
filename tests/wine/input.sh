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

# The probe's lines without the carriage returns Windows ends them with.
lines() { tr -d '\r' <"$E2E_WORK/probe.out"; }

# Waits until the probe printed a line matching the extended regular expression $1 after the
# line count $2 (lines before it are old news).
expect_line() {
    local pattern=$1 from=${2:-0} deadline=$((SECONDS + 10))
    until lines | tail -n "+$((from + 1))" | grep -Eq "$pattern"; do
        if [ $SECONDS -ge $deadline ] || ! alive "$probe"; then
            echo "--- probe output:" >&2
            lines >&2
            tr -d '\r' <"$E2E_WORK/probe.err" >&2
            fail "the probe never printed /$pattern/"
        fi
        sleep 0.1
    done
}
mark() { lines | wc -l; }

expect_line '^ready$'

for pair in a:97 5:53 space:32; do
    key=${pair%:*}
    code=${pair#*:}
    from=$(mark)
    xdotool keydown "$key"
    expect_line "^key $code .* pressed$" "$from"
    xdotool keyup "$key"
    expect_line "^key $code .* released$" "$from"
done

from=$(mark)
xdotool mousemove_relative -- 40 0
expect_line '^mouse [1-9][0-9]* 0$' "$from"
from=$(mark)
xdotool mousemove_relative -- 0 -40
expect_line '^mouse 0 -[1-9][0-9]*$' "$from"

# Left, right, middle and the first extra button are key codes 256 to 259.
for pair in 1:256 3:257 2:258 8:259; do
    button=${pair%:*}
    code=${pair#*:}
    from=$(mark)
    xdotool mousedown "$button"
    expect_line "^key $code .* pressed$" "$from"
    xdotool mouseup "$button"
    expect_line "^key $code .* released$" "$from"
done

from=$(mark)
xdotool click 4
expect_line '^wheel up 1$' "$from"
from=$(mark)
xdotool click 5
expect_line '^wheel down 1$' "$from"

xdotool key Escape
wait_exit "$probe" 15
[ "$EXIT_CODE" = 0 ] || fail "the probe ended with $EXIT_CODE"
echo "PASS: keys, mouse motion, buttons and wheel reached TarnInput through Wine's DirectInput"
