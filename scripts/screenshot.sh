#!/usr/bin/env bash
# One example's picture, as the example really draws it: the example runs on the headless host
# (a set clock, scripted input, no display needed) with the steps in
# examples/NAME/screenshot.script, which dump the presented frame. In that file, lines starting
# with '#' are comments, "# args: ..." gives the example's command-line arguments, @ASSETS@
# stands for the build's assets folder and @OUT@ for the frame's file.
#
#   scripts/screenshot.sh check NAME [BUILD_DIR]   the frame must equal docs/images/NAME.png
#   scripts/screenshot.sh write NAME [BUILD_DIR]   the frame becomes docs/images/NAME.png
#
# Either way the frame is also left in BUILD_DIR/screenshots/NAME.png (BUILD_DIR: build).
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}
name=${2:-}
build=$(cd "${3:-$SRC/build}" && pwd)
fail() {
    echo "screenshot.sh: $name: $*" >&2
    exit 1
}
[[ "$mode" == check || "$mode" == write ]] && [ -n "$name" ] ||
    { echo "usage: scripts/screenshot.sh check|write NAME [BUILD_DIR]" >&2; exit 2; }
script_file=$SRC/examples/$name/screenshot.script
[ -f "$script_file" ] || fail "no $script_file"
[ -x "$build/bin/$name" ] || fail "$build/bin/$name is not built"
[ -x "$build/bin/tarnimg" ] || fail "$build/bin/tarnimg is not built"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
frame=$work/frame.bmp
args=$(sed -n 's/^# args://p' "$script_file" | head -1)
args=${args//@ASSETS@/$build/assets}
read -r -a arguments <<<"$args"
steps=$(grep -v '^[[:space:]]*#' "$script_file")
steps=${steps//@OUT@/$frame}

status=0
(cd "$work" && TARN_HOST=headless TARN_HEADLESS_SCRIPT="$steps" \
    timeout 120 "$build/bin/$name" "${arguments[@]}") >"$work/out" 2>&1 || status=$?
[ "$status" = 0 ] || { cat "$work/out" >&2; fail "ended with $status"; }
[ -f "$frame" ] || { cat "$work/out" >&2; fail "no frame was dumped (is there a dump @OUT@ step?)"; }

mkdir -p "$build/screenshots"
kept=$build/screenshots/$name.png
"$build/bin/tarnimg" convert "$frame" "$kept"
reference=$SRC/docs/images/$name.png
if [ "$mode" = write ]; then
    cp "$kept" "$reference"
    echo "screenshot.sh: wrote $reference"
elif ! "$build/bin/tarnimg" compare "$kept" "$reference"; then
    fail "the frame differs from $reference; the new one is $kept" \
        "(scripts/update-screenshots.sh makes it the reference when the change is meant)"
fi
