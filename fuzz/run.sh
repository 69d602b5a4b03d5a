#!/usr/bin/env bash
# Runs every fuzzer (the picture decoders', the PNG decoder's two ways against each other, the
# sprite routines' and the turned copies' fast-against-reference ones, the sound readers', the
# font reader's and the map readers') for
# SECONDS seconds each, one after another, and fails on any finding (crash, sanitizer report,
# leaked stand-in object, mismatch, timeout, out of memory).
#   fuzz/run.sh SECONDS [TARGET...]     TARGET: detect bmp psd tga pcx jpg png pngwhole sprites
#                                       turn wav ogg font map
#                                       (default: all)
# Builds with clang in $TARN_FUZZ_BUILD (default build-fuzz). The seeds come from the test
# fixtures (make_seeds), the BMP files and the PngSuite files of tests/data; what the fuzzers find worth keeping
# stays in $TARN_FUZZ_BUILD/corpus/TARGET for the next run, and a finding is written to
# $TARN_FUZZ_BUILD/findings/. A finding, once its fault is mended, goes into tests/data/regress
# as NAME.EXT (EXT the forced decoder's: bmp psd tga pcx jpg png; any for detect), where the
# hostile-file tests cut, flip and load it on every run.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(detect bmp psd tga pcx jpg png pngwhole sprites turn wav ogg font map)
build=${TARN_FUZZ_BUILD:-build-fuzz}

if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -DTARN_FUZZ=ON -DTARN_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target tarn_fuzzers >/dev/null

# Seeds in a folder of this run's own, so runs of different targets may go side by side.
seeds=$build/seeds.$$
trap 'rm -rf "$seeds"' EXIT
"$build/bin/make_seeds" "$seeds"
for f in tests/data/bmpsuite/*/*.bmp; do
    name=bmpsuite_$(basename "$(dirname "$f")")_$(basename "$f")
    cp "$f" "$seeds/bmp/$name"
    cp "$f" "$seeds/detect/$name"
done
mkdir -p "$seeds/png"
for f in tests/data/pngsuite/*.png; do
    cp "$f" "$seeds/png/pngsuite_$(basename "$f")"
    cp "$f" "$seeds/detect/pngsuite_$(basename "$f")"
done
# The sound readers start from the sounds the tests and the example use (made by mksounds).
mkdir -p "$seeds/wav" "$seeds/ogg"
cp tests/data/sound/*.ogg "$seeds/ogg/"
cp tests/data/sound/*.wav "$seeds/wav/" 2>/dev/null || true
# The font reader starts from the small test fonts and DejaVu Sans Mono.
mkdir -p "$seeds/font"
cp tests/data/fonts/*.ttf "$seeds/font/"
cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$seeds/font/" 2>/dev/null || true
# The map readers start from the test maps, TMX and JSON.
mkdir -p "$seeds/map"
cp tests/data/maps/*.tmx tests/data/maps/*.tmj tests/data/maps/tilesets/*.tsx "$seeds/map/"
mkdir -p "$build/findings"

failed=()
total=0
for t in "${targets[@]}"; do
    corpus=$build/corpus/$t
    mkdir -p "$corpus"
    log=$build/fuzz_$t.log
    program=fuzz_image_$t
    [ "$t" = sprites ] && program=fuzz_sprites # no seed files: the input only steers a generator
    [ "$t" = turn ] && program=fuzz_turn       # nor here
    [ "$t" = wav ] || [ "$t" = ogg ] && program=fuzz_sound_$t
    [ "$t" = font ] && program=fuzz_font
    [ "$t" = map ] && program=fuzz_map
    mkdir -p "$seeds/$t"
    if [ "$t" = pngwhole ]; then
        program=fuzz_png_whole # the PNG seeds, through both of the PNG decoder's ways
        cp "$seeds"/png/* "$seeds/$t/"
    fi
    echo "$program: ${seconds}s"
    if "$build/bin/$program" "$corpus" "$seeds/$t" -max_total_time="$seconds" -timeout=20 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/$t-" \
        >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "  ${runs:-?} executions, no finding"
        total=$((total + ${runs:-0}))
    else
        echo "  FINDING (see $log):"
        grep -E "ERROR|SUMMARY|runtime error|alive after|Test unit written" "$log" | head -5 | sed 's/^/    /'
        failed+=("$t")
    fi
done
echo "fuzzing: ${#targets[@]} targets x ${seconds}s, $total executions"
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]}"
    exit 1
fi
