#!/usr/bin/env bash
# Follows docs/guide.md exactly as written, as a newcomer would: in a fresh home directory, from
# Tarn's source folder, each block marked <!-- run --> is run and each block marked
# <!-- file: NAME --> is written to NAME in the folder the commands are in at that point, in the
# order of the guide, in one shell. Then the frame the guide's program drew must be the picture
# the guide shows (docs/images/guide.png). The guide's first program (its first game.cpp) stays
# within twenty lines, includes counted, comments and blank lines not. The README and the guide
# ask find_package for the same version of Tarn.
#   scripts/check-guide.sh            (scripts/run-tests.sh runs it)
#   scripts/check-guide.sh --write    the frame becomes docs/images/guide.png
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

# One story of find_package: the README's and the guide's CMake files ask for the same
# version, this one's.
version=$(sed -n 's/^project(Tarn VERSION \([0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt)
asked=$(grep -ho '^find_package(Tarn [0-9.]*' README.md docs/guide.md | sort -u)
[ "$asked" = "find_package(Tarn $version" ] || {
    echo "check-guide.sh: README.md and docs/guide.md ask for '$asked'; Tarn is $version" >&2
    exit 1
}

# The guide turned into one shell script.
awk '
    /^<!-- run -->$/ { mode = "run"; next }
    /^<!-- file: .* -->$/ { mode = "file"; name = $3; next }
    /^```/ {
        if (inside) {
            if (mode == "file") print "TARN_GUIDE_FILE"
            inside = 0; mode = ""; next
        }
        inside = 1
        if (mode == "file") printf "cat > %s <<'"'"'TARN_GUIDE_FILE'"'"'\n", name
        next
    }
    inside && mode != "" { print }
' docs/guide.md >"$home/guide.sh"
grep -q TARN_GUIDE_FILE "$home/guide.sh" || { echo "check-guide.sh: nothing to run in the guide" >&2; exit 1; }

lines=$(awk '
    /^<!-- file: game.cpp -->$/ && !done { want = 1; next }
    want && /^```/ { if (inside) { done = 1; want = 0 } else inside = 1; next }
    want && inside && !/^[[:space:]]*(\/\/.*)?$/ { n++ }
    END { print n + 0 }
' docs/guide.md)
[ "$lines" -gt 0 ] && [ "$lines" -le 20 ] ||
    { echo "check-guide.sh: the guide's first program has $lines lines (at most 20)" >&2; exit 1; }

echo "== following docs/guide.md in $home"
HOME=$home bash -euo pipefail -x "$home/guide.sh" >"$home/guide.log" 2>&1 ||
    { cat "$home/guide.log" >&2; echo "check-guide.sh: a step of the guide failed" >&2; exit 1; }
frame=$home/game/frame.bmp
[ -f "$frame" ] || { echo "check-guide.sh: the guide's program wrote no frame" >&2; exit 1; }
if [ "${1:-}" = --write ]; then
    build/bin/tarnimg convert "$frame" docs/images/guide.png
    echo "check-guide.sh: wrote docs/images/guide.png"
elif ! build/bin/tarnimg compare "$frame" docs/images/guide.png; then
    echo "check-guide.sh: the guide's frame is not docs/images/guide.png" \
        "(scripts/check-guide.sh --write makes it so when the change is meant)" >&2
    exit 1
fi
echo "check-guide.sh: every step of the guide ran"
