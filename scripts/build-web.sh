#!/usr/bin/env bash
# Builds the web pages with Emscripten from Debian's packages into build-web/: index.html, the
# demo's myfirsttarn.html and one page per example, each with its .js, .wasm and .data beside it.
# The sound example's sounds are made first by tools/mksounds, built for this machine (its Ogg
# Vorbis encoder is Debian's libvorbisenc, which has no WebAssembly build), into build-web/sounds.
# Emscripten's cache (its lock and anything it builds) is build-web/emcache; its system libraries
# are Debian's prebuilt ones, linked there, so nothing is downloaded or rebuilt.
#   scripts/build-web.sh
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
OUT=$SRC/build-web

# Debian's packages: the compiler, the header-only stb (pictures, text, Ogg Vorbis), the font the
# pages draw with, and this machine's compiler with libvorbisenc for the sound maker. Installed
# when run as root; otherwise named.
"$SRC/scripts/deps.sh" --only emscripten libstb-dev fonts-dejavu-core cmake ninja-build \
    g++ pkg-config libvorbis-dev

# The sounds, remade when the maker's source is newer than them (they are the same on every run).
mkdir -p "$OUT/native" "$OUT/sounds"
if [ ! -x "$OUT/native/mksounds" ] || [ "$SRC/tools/mksounds.cpp" -nt "$OUT/native/mksounds" ]; then
    # shellcheck disable=SC2046 # pkg-config's flags are words
    g++ -std=c++20 -O2 -o "$OUT/native/mksounds" "$SRC/tools/mksounds.cpp" \
        $(pkg-config --cflags --libs vorbisenc vorbis ogg)
fi
if [ ! -f "$OUT/sounds/tone.ogg" ] || [ "$OUT/native/mksounds" -nt "$OUT/sounds/tone.ogg" ]; then
    "$OUT/native/mksounds" "$OUT/sounds" >/dev/null
fi

# The cache in the build: Debian's system libraries and headers linked in, read-only (frozen),
# so a build never writes outside build-web/ and never fetches a port.
EMROOT=/usr/share/emscripten
mkdir -p "$OUT/emcache"
ln -sfn "$EMROOT/cache/sysroot" "$OUT/emcache/sysroot"
cp -f "$EMROOT/cache/sysroot_install.stamp" "$OUT/emcache/"
cat >"$OUT/emscripten.config" <<CONFIG
EMSCRIPTEN_ROOT = '$EMROOT'
LLVM_ROOT = '/usr/bin'
BINARYEN_ROOT = '/usr'
NODE_JS = '$(command -v node || echo /usr/bin/node)'
FROZEN_CACHE = True
LLVM_ADD_VERSION = '14'
CLANG_ADD_VERSION = '14'
CACHE = '$OUT/emcache'
CONFIG
export EM_CONFIG=$OUT/emscripten.config
export NODE_PATH=/usr/share/nodejs # Emscripten's tools take acorn from Debian's node modules

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# -O2, with WebAssembly's 128-bit vectors (every current browser has them).
emcmake cmake -S "$SRC" -B "$OUT/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -msimd128 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -msimd128 -DNDEBUG" \
    -DTARN_WERROR=ON -DTARN_WEB_OUTPUT_DIR="$OUT" -DTARN_WEB_SOUNDS="$OUT/sounds" "${launcher[@]}" >/dev/null
cmake --build "$OUT/cmake" -j "$(nproc)"
echo "build-web.sh: the pages are in $OUT (index.html, myfirsttarn.html ...)"
