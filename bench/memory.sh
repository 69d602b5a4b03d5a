#!/usr/bin/env bash
# The memory rows of the benchmark's report. Peak resident memory (the kernel's VmHWM) of the
# demo on the SDL2 host, on the X server of DISPLAY (scripts/run-bench.sh starts one), after 3 s
# of frames, beside the smallest SDL2 program that shows the same picture through one streaming
# texture (tarn_minimal_frame, bench/minimal_frame.c): at most 1.3 times. Each example is
# measured the same way and reported beside them. Then the storm test's run (10,000 frames of
# lost displays and failing calls on the headless host) is read at its four calm checkpoints
# (2,500 frames apart). The allocator reaches its high-water mark in the first half (a surface
# remade on a restore lands beside the freed one); from the middle of the run to its end the
# resident memory must not grow.
# Usage: bench/memory.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
source "$SRC/tests/e2e/lib/xsession.bash"

need_tools xdotool xdpyinfo
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run it through scripts/run-bench.sh"
for program in myfirsttarn tarn_minimal_frame test_storm viewer sprites pixels input shapes; do
    [ -x "$BUILD/bin/$program" ] || fail "$BUILD/bin/$program is not built"
done

make_work_dir
mkdir "$E2E_WORK/run"
cp "$BUILD/assets/landskap.bmp" "$E2E_WORK/run/"
export TARN_HOST=sdl2 SDL_VIDEODRIVER=x11
TARGET=1.3
GROWTH_ALLOWED_KB=64 # a few pages of the allocator's own bookkeeping

# Runs a program from the work folder until its window TITLE has shown frames for 3 s, ends it
# with Escape (it must exit with 0) and sets PEAK_KB to its peak resident memory.
measure_peak() {
    local name=$1 title=$2 window
    shift 2
    start_program "$E2E_WORK/run" "$name" "$@"
    window=$(wait_window "$title" "$PROGRAM_PID")
    sleep 3
    PEAK_KB=$(awk '/^VmHWM:/ {print $2}' "/proc/$PROGRAM_PID/status")
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool windowraise "$window" 2>/dev/null || true
    xdotool key Escape
    wait_exit "$PROGRAM_PID" 15
    [ "$EXIT_CODE" = 0 ] || fail "$name ended with $EXIT_CODE (see $E2E_WORK/$name.err)"
}

measure_peak peer MinimalFrame "$BUILD/bin/tarn_minimal_frame" landskap.bmp
peer_kb=$PEAK_KB
measure_peak demo MyFirstTarn "$BUILD/bin/myfirsttarn"
demo_kb=$PEAK_KB
check_sdl_video "$E2E_WORK/demo.err"
examples=()
for example in viewer sprites pixels input shapes; do
    measure_peak "$example" "Tarn: $example" "$BUILD/bin/$example"
    examples+=("$example $PEAK_KB")
done

# The storm test's own run, its files kept in the work folder.
TEST_TMPDIR=$E2E_WORK/ "$BUILD/bin/test_storm" >"$E2E_WORK/storm.out" 2>&1 ||
    fail "the storm test failed (see $E2E_WORK/storm.out)"
report=$E2E_WORK/storm/report.txt
[ -f "$report" ] || fail "the storm test wrote no report"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r <= t ? "met" : "NOT MET") }'; }

demo_ratio=$(ratio "$demo_kb" "$peer_kb")
echo
echo "Peak resident memory on the SDL2 host (Xvfb), after 3 s of frames, beside the smallest"
echo "SDL2 program showing the same picture through one streaming texture:"
printf '  %-34s %8s kB\n' "minimal SDL2 program (the peer)" "$peer_kb"
printf '  %-34s %8s kB  %s x  target %s  %s\n' "the demo" "$demo_kb" "$demo_ratio" "$TARGET" \
    "$(verdict "$demo_ratio" "$TARGET")"
for entry in "${examples[@]}"; do
    read -r name kb <<<"$entry"
    printf '  %-34s %8s kB  %s x\n' "example $name" "$kb" "$(ratio "$kb" "$peer_kb")"
done

readings=$(awk '/^calm[0-9]+ / {printf "%s %s\n", $1, $2}' "$report")
count=$(wc -l <<<"$readings")
[ "$count" -ge 2 ] || fail "the storm's report has no memory readings"
middle=$(sed -n "$(((count + 1) / 2))p" <<<"$readings" | awk '{print $2}')
last=$(tail -1 <<<"$readings" | awk '{print $2}')
growth=$((last - middle))
echo
echo "Resident memory over the storm test's 10,000-frame run (headless), at its calm checkpoints:"
echo "  $(awk '{printf "%s%s %s kB", (NR > 1 ? ", " : ""), $1, $2}' <<<"$readings")"
printf '  growth over the second half: %s kB (at most %s kB: %s)\n' "$growth" \
    "$GROWTH_ALLOWED_KB" "$([ "$growth" -le "$GROWTH_ALLOWED_KB" ] && echo met || echo NOT MET)"
