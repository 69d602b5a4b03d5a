#!/usr/bin/env bash
# A play of the demo (and of the sprites example, which has its own main) recorded on the headless host from a script replays with every frame
# equal, given as flags on the program's command line; a replay writes the frames asked for as
# pictures; the same recording against a changed program (another landscape) stops at the first
# frame that differs with exit code 1; a damaged recording is refused with exit code 2.
# Usage: replay.sh BIN_DIR SOURCE_DIR
set -euo pipefail
BIN=$1
[ -x "$BIN/myfirsttarn" ] || { echo "$BIN/myfirsttarn is not built" >&2; exit 1; }
[ -f "$BIN/../assets/landskap.bmp" ] || { echo "landskap.bmp is not built" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$BIN/../assets/landskap.bmp" .
fail() { echo "replay.sh: $*" >&2; exit 1; }

TARN_HOST=headless TARN_HEADLESS_SCRIPT="dikey RIGHT 1; frames 25; dikey RIGHT 0; frames 25; key ESCAPE" \
    timeout 60 "$BIN/myfirsttarn" --record play.rec || fail "the recorded run failed"
[ -s play.rec ] || fail "no recording written"

timeout 60 "$BIN/myfirsttarn" --replay play.rec --dump frames --from 3 --to 4 2> replay.err ||
    fail "the replay failed: $(cat replay.err)"
grep -q "50 frames matched" replay.err || fail "the replay did not match 50 frames: $(cat replay.err)"
[ -f frames/frame-3.bmp ] && [ -f frames/frame-4.bmp ] && [ ! -e frames/frame-5.bmp ] ||
    fail "the frames asked for were not written: $(ls frames)"

# The program changed: its landscape has a stripe the recording never saw.
printf '\xff%.0s' $(seq 1 600) | dd of=landskap.bmp bs=1 seek=20000 conv=notrunc status=none
status=0
timeout 60 "$BIN/myfirsttarn" --replay play.rec 2> changed.err || status=$?
[ "$status" = 1 ] || fail "a changed program replayed with exit code $status: $(cat changed.err)"
grep -q "frame 1 differs at" changed.err || fail "no first differing frame: $(cat changed.err)"
[ -f play.rec.frame-1.bmp ] || fail "the replayed frame was not written"

head -c 20 play.rec > cut.rec
status=0
timeout 60 "$BIN/myfirsttarn" --replay cut.rec 2> cut.err || status=$?
[ "$status" = 2 ] || fail "a cut recording ran with exit code $status: $(cat cut.err)"
status=0
"$BIN/myfirsttarn" --replay 2> novalue.err || status=$?
[ "$status" = 2 ] && grep -q -- "--replay needs a value" novalue.err ||
    fail "a flag without its value: exit code $status, $(cat novalue.err)"

# A program with its own main(): the flags reach the platform and not the program's arguments.
if [ -x "$BIN/sprites" ]; then
    TARN_HOST=headless TARN_HEADLESS_SCRIPT="dikey RIGHT 1; frames 20; key ESCAPE" \
        timeout 60 "$BIN/sprites" --record sprites.rec || fail "the recorded sprites failed"
    timeout 60 "$BIN/sprites" --replay sprites.rec 2> sprites.err ||
        fail "the sprites replay failed: $(cat sprites.err)"
    grep -q "20 frames matched" sprites.err || fail "sprites: $(cat sprites.err)"
fi
echo "replay.sh: all passed"
