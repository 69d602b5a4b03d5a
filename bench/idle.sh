#!/usr/bin/env bash
# The demo's idle figures, measured on the SDL2 host on the X server of DISPLAY (scripts/run-bench.sh
# starts one): the processor time the demo uses over 5 seconds while it is the active program,
# with vsync turned off so that only its own pacing keeps it from running flat out, and over 5
# seconds while another window has the focus. Frames are counted by a preloaded library
# (present_count.c) that sees every present; the demo itself is unchanged.
# Usage: bench/idle.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
source "$SRC/tests/e2e/lib/xsession.bash"

need_tools xdotool xdpyinfo xmessage
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run it through scripts/run-bench.sh"
[ -x "$BUILD/bin/myfirsttarn" ] || fail "$BUILD/bin/myfirsttarn is not built"
counter_lib=$BUILD/lib/libtarn_present_count.so
[ -f "$counter_lib" ] || fail "$counter_lib is not built"

make_work_dir
mkdir "$E2E_WORK/run"
cp "$BUILD/assets/landskap.bmp" "$E2E_WORK/run/"
count_file=$E2E_WORK/presents
export TARN_HOST=sdl2 SDL_VIDEODRIVER=x11
TARN_PRESENT_COUNT=$count_file SDL_RENDER_VSYNC=0 LD_PRELOAD=$counter_lib \
    start_program "$E2E_WORK/run" demo "$BUILD/bin/myfirsttarn"
demo=$PROGRAM_PID
window=$(wait_window MyFirstTarn "$demo")
check_sdl_video "$E2E_WORK/demo.err"
ticks_per_second=$(getconf CLK_TCK)

presents() { od -An -tu8 "$count_file" | tr -d ' '; }

# Processor time and frames of the demo over 5 seconds: "CPU_PERCENT FRAMES_PER_SECOND MS_PER_FRAME".
measure() {
    local t0 t1 c0 c1 f0 f1
    t0=$(date +%s.%N)
    c0=$(cpu_ticks "$demo")
    f0=$(presents)
    sleep 5
    t1=$(date +%s.%N)
    c1=$(cpu_ticks "$demo")
    f1=$(presents)
    awk -v t0="$t0" -v t1="$t1" -v c=$((c1 - c0)) -v f=$((f1 - f0)) \
        -v hz="$ticks_per_second" 'BEGIN {
            t = t1 - t0
            cpu = c / hz
            printf "%.2f %.1f %s\n", 100 * cpu / t, f / t, (f > 0 ? sprintf("%.2f", 1000 * cpu / f) : "-")
        }'
}

sleep 1 # past start-up
figures=$(measure)
read -r active_cpu active_fps active_ms <<<"$figures"

# Another program takes the focus; the demo hears of it and goes to sleep.
xmessage -geometry 400x300+120+90 -buttons "" "another program" &
E2E_PIDS+=($!)
other=$(wait_window xmessage $!)
xdotool windowfocus --sync "$other"
sleep 1
figures=$(measure)
read -r idle_cpu idle_fps _ <<<"$figures"

xdotool windowfocus --sync "$window"
xdotool windowraise "$window"
xdotool key Escape
wait_exit "$demo" 15
[ "$EXIT_CODE" = 0 ] || fail "the demo ended with $EXIT_CODE"

echo
echo "The demo on the SDL2 host, 5 s each (processor time of its process):"
printf '  active, vsync off: %s %% of a core, %s frames a second, %s ms of processor time a frame\n' \
    "$active_cpu" "$active_fps" "$active_ms"
printf '  inactive (another window has the focus): %s %% of a core, %s frames a second\n' \
    "$idle_cpu" "$idle_fps"
