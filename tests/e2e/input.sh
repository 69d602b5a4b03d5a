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
out="$E2E_WORK/probe.out"

# Waits until the probe printed a line matching the extended regular expression $1 after the
# line count $2 (lines before it are old news).
expect_line() {
    local pattern=$1 from=${2:-0} deadline=$((SECONDS + 5))
    until tail -n "+$((from + 1))" "$out" | grep -Eq "$pattern"; do
        if [ $SECONDS -ge $deadline ] || ! alive "$probe"; then
            echo "--- probe output:" >&2
            cat "$out" "$E2E_WORK/probe.err" >&2
            fail "the probe never printed /$pattern/"
        fi
        sleep 0.1
    done
}
mark() { wc -l <"$out"; }

expect_line '^ready$'

# Keys: held long enough for several updates, so both edges are seen.
for key in a 5 space; do
    case $key in
    a) code=97 ;;
    5) code=53 ;;
    space) code=32 ;;
    esac
    from=$(mark)
    xdotool keydown "$key"
    expect_line "^key $code .* pressed$" "$from"
    xdotool keyup "$key"
    expect_line "^key $code .* released$" "$from"
done

# Mouse motion: right, then up (relative motion, whatever the pointer's place).
from=$(mark)
xdotool mousemove_relative -- 40 0
expect_line '^mouse [1-9][0-9]* 0$' "$from"
from=$(mark)
xdotool mousemove_relative -- 0 -40
expect_line '^mouse 0 -[1-9][0-9]*$' "$from"

# Buttons left, right, middle and the first extra button are key codes 256 to 259.
for pair in 1:256 3:257 2:258 8:259; do
    button=${pair%:*}
    code=${pair#*:}
    from=$(mark)
    xdotool mousedown "$button"
    expect_line "^key $code .* pressed$" "$from"
    xdotool mouseup "$button"
    expect_line "^key $code .* released$" "$from"
done

# The wheel: X buttons 4 and 5 are one notch away from and towards the user.
from=$(mark)
xdotool click 4
expect_line '^wheel up 1$' "$from"
from=$(mark)
xdotool click 5
expect_line '^wheel down 1$' "$from"

xdotool key Escape
wait_exit "$probe" 5
[ "$EXIT_CODE" = 0 ] || fail "the probe ended with $EXIT_CODE"
echo "PASS: keys, mouse motion, buttons and wheel reached TarnInput"
