#!/usr/bin/env bash
# The viewer example on the headless host, over a folder that holds a file which is no
# picture: stepping past both ends wraps round and never crashes, F12 saves the frame as shown
# under the first free name and leaves an existing screenshot alone, and Escape ends it with 0.
# Usage: viewer.sh BIN_DIR SOURCE_DIR
set -euo pipefail
BIN=$(cd "$1" && pwd)
fail() {
    echo "FAIL: viewer: $*" >&2
    exit 1
}
[ -x "$BIN/viewer" ] || fail "$BIN/viewer is not built"
[ -x "$BIN/tarnimg" ] || fail "$BIN/tarnimg is not built"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/pictures"
cp "$BIN/../assets/landskap.bmp" "$work/pictures/B.BMP"
echo "not a picture" >"$work/pictures/a.png"
echo "no picture either" >"$work/pictures/notes.txt"
echo "kept" >"$work/viewer-001.png"

# Each step's frame is dumped: a.png, B.BMP (Right), a.png (Right wraps), B.BMP (Left wraps),
# a.png (Home), B.BMP (End); then F12 twice, the second save's frame dumped as presented.
press() { echo "dikey $1 1; frames 1; dump $work/$2.bmp; dikey $1 0; frames 1;"; }
steps="frames 2; dump $work/0.bmp; $(press RIGHT 1) $(press RIGHT 2) $(press LEFT 3)
       $(press 0xC7 4) $(press 0xCF 5) $(press 0x58 saved) $(press 0x58 shown) key ESCAPE"
status=0
(cd "$work" && TARN_HOST=headless TARN_HEADLESS_SCRIPT="$steps" timeout 60 "$BIN/viewer" pictures) \
    >"$work/out" 2>&1 || status=$?
[ "$status" = 0 ] || { cat "$work/out" >&2; fail "ended with $status"; }

same() { "$BIN/tarnimg" compare "$work/$1.png" "$work/$2.png" >/dev/null 2>&1; }
for frame in 0 1 2 3 4 5 shown; do "$BIN/tarnimg" convert "$work/$frame.bmp" "$work/$frame.png" >/dev/null; done
same 0 2 && same 0 4 && same 1 3 && same 1 5 && ! same 0 1 ||
    fail "Right, Left, Home and End did not step through the two files in turn"

cmp -s "$work/viewer-001.png" <(echo kept) || fail "an existing viewer-001.png was overwritten"
[ -f "$work/viewer-002.png" ] && [ -f "$work/viewer-003.png" ] ||
    fail "F12 twice did not write viewer-002.png and viewer-003.png: $(ls "$work")"
"$BIN/tarnimg" compare "$work/viewer-003.png" "$work/shown.png" ||
    fail "the saved screenshot is not the frame shown"
echo "PASS: stepping wrapped past a file that is no picture; F12 saved the shown frame twice"
