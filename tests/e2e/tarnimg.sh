#!/usr/bin/env bash
# tarnimg as a person uses it: `info` names the format and size of the demo's picture, `convert`
# writes PPM, BMP and PNG files that an independent reader (ImageMagick) sees pixel for pixel as the
# BMP, and a missing, foreign or damaged file gives one line naming it and exit code 1.
# Usage: tarnimg.sh BIN_DIR SOURCE_DIR
set -euo pipefail
BIN=$1
SRC=$2
fail() { echo "tarnimg.sh: $*" >&2; exit 1; }
command -v compare >/dev/null || fail "ImageMagick's compare is missing"
[ -x "$BIN/tarnimg" ] || fail "$BIN/tarnimg is not built"
PICTURE="$BIN/../assets/landskap.bmp"
[ -f "$PICTURE" ] || fail "$PICTURE is not built"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# --version names the project's version.
version=$(sed -n 's/^project(Tarn VERSION \([0-9.]*\).*/\1/p' "$SRC/CMakeLists.txt")
said=$("$BIN/tarnimg" --version)
[ -n "$version" ] && [ "$said" = "tarnimg $version" ] || fail "--version said: $said (project: $version)"
# --help prints the usage on standard output and succeeds; a wrong command line prints it on
# standard error and fails.
said=$("$BIN/tarnimg" --help) || fail "--help failed"
[[ "$said" == "usage: tarnimg info FILE"*"tarnimg --help" ]] || fail "--help said: $said"
status=0
said=$("$BIN/tarnimg" frobnicate 2>/dev/null) || status=$?
[ "$status" = 1 ] && [ -z "$said" ] || fail "a wrong command: exit $status, said: $said"

info=$("$BIN/tarnimg" info "$PICTURE")
[ "$info" = "$PICTURE: bmp, 640 x 480, 24 bits per pixel" ] || fail "info said: $info"
convert "$PICTURE" "$WORK/info.png"
info=$("$BIN/tarnimg" info "$WORK/info.png" --format png)
[ "$info" = "$WORK/info.png: png, 640 x 480, 24 bits per pixel" ] || fail "info said: $info"

for out in landskap.ppm landskap.bmp landskap.png; do
    "$BIN/tarnimg" convert "$PICTURE" "$WORK/$out"
    differ=$(compare -metric AE "$WORK/$out" "$PICTURE" null: 2>&1) || true
    [ "$differ" = 0 ] || fail "$out differs from the BMP in $differ pixels"
done
# Files of every layout written by an independent encoder (ImageMagick) decode exactly as
# ImageMagick reads them (-auto-orient applies the TGA row order). ImageMagick writes TGA files
# without the TGA 2.0 footer: they are found by their header.
while read -r name options; do
    read -ra opts <<<"$options"
    convert "$PICTURE" "${opts[@]}" "$WORK/$name"
    "$BIN/tarnimg" convert "$WORK/$name" "$WORK/ours.ppm"
    convert "$WORK/$name" -auto-orient "$WORK/theirs.ppm"
    differ=$(compare -metric AE "$WORK/ours.ppm" "$WORK/theirs.ppm" null: 2>&1) || true
    [ "$differ" = 0 ] || fail "$name: $differ pixels differ from ImageMagick's decode"
done <<'LIST'
rgb.tga
rle.tga -compress RLE
palette.tga -colors 200 -type Palette
grey.tga -colorspace gray
rgb.pcx
palette.pcx -colors 200 -type Palette
rgb.psd
alpha.psd -alpha set
rle8.bmp -colors 200 -type Palette -compress RLE
rgb.png
palette.png -colors 200 -type Palette
alpha.png -alpha set
interlaced.png -interlace PNG
deep.png -depth 16
LIST

# A forced format goes to that decoder: the BMP is no TGA.
if "$BIN/tarnimg" convert "$PICTURE" "$WORK/x.ppm" --format tga 2>/dev/null; then
    fail "a BMP converted as TGA"
fi

expect_error() { # FILE: exit 1 and one line naming the file
    local err status=0
    err=$("$BIN/tarnimg" convert "$1" "$WORK/out.ppm" 2>&1 >/dev/null) || status=$?
    [ "$status" = 1 ] || fail "$1: exit $status"
    [ "$(printf '%s\n' "$err" | wc -l)" = 1 ] || fail "$1: more than one line: $err"
    [[ "$err" == *"$1"* ]] || fail "$1: the error does not name the file: $err"
}
expect_error "$WORK/missing.bmp"
printf 'not a picture at all' >"$WORK/text.bmp"
expect_error "$WORK/text.bmp"
head -c 300 "$PICTURE" >"$WORK/cut.bmp"
expect_error "$WORK/cut.bmp"
# compare: the same pixels in another format are the same; one changed pixel is found.
"$BIN/tarnimg" convert "$PICTURE" "$WORK/same.png" || fail "convert to PNG"
"$BIN/tarnimg" compare "$PICTURE" "$WORK/same.png" || fail "a picture differs from its PNG"
convert "$PICTURE" -fill '#010203' -draw 'point 17,5' "$WORK/changed.bmp"
err=$("$BIN/tarnimg" compare "$PICTURE" "$WORK/changed.bmp" 2>&1) && fail "a changed pixel not found"
[[ "$err" == *"differ in 1 pixels; the first at (17, 5)"*"#010203"* ]] || fail "compare said: $err"
echo "tarnimg.sh: ok"
