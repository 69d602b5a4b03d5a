#!/usr/bin/env bash
# The web pages in a real browser: builds them (scripts/build-web.sh), installs Debian's chromium
# and playwright-core (tests/web, from the npm registry; its own browser download is never used),
# and runs tests/web/pages.test.mjs with node's test runner against the pages served on
# 127.0.0.1, with the guide's game built as its web section says. The references come from the
# desktop build (BUILD_DIR: build): the demo's frame on the headless host and tarnimg.
#   scripts/test-web.sh [BUILD_DIR]
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$SRC/build}" && pwd)
for tool in myfirsttarn tarnimg; do
    [ -x "$build/bin/$tool" ] || { echo "test-web.sh: $build/bin/$tool is not built" >&2; exit 1; }
done

# Debian's chromium; Node.js and npm from Debian unless the machine has its own.
packages=(chromium)
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
"$SRC/scripts/deps.sh" --only "${packages[@]}"

"$SRC/scripts/build-web.sh"

# A game of one's own made a page as the guide's web section says: Tarn's source as a
# subdirectory of the project (CMakeLists.txt from the guide), the guide's first program,
# tarn_web_page. Built with the pages' Emscripten set-up (build-web.sh's frozen cache); a test
# below opens its page.
game=$(mktemp -d)
trap 'rm -rf "$game"' EXIT
mkdir "$game/third_party"
ln -s "$SRC" "$game/third_party/tarn"
awk '/^<!-- file: game.cpp -->$/ { want = 1; next }
     want && /^```/ { if (inside) exit; inside = 1; next }
     want && inside' "$SRC/docs/guide.md" >"$game/game.cpp"
awk '/^## 11\./ { section = 1 }
     section && /^```cmake$/ { inside = 1; next }
     inside && /^```/ { exit }
     inside' "$SRC/docs/guide.md" >"$game/CMakeLists.txt"
grep -q tarn_web_page "$game/CMakeLists.txt" ||
    { echo "test-web.sh: no tarn_web_page in the guide's web section" >&2; exit 1; }
cp "$SRC/assets/landskap.bmp" "$game/"
launcher=()
command -v ccache >/dev/null &&
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
(
    export EM_CONFIG=$SRC/build-web/emscripten.config NODE_PATH=/usr/share/nodejs
    emcmake cmake -S "$game" -B "$game/build-web" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
    cmake --build "$game/build-web" -j "$(nproc)" >/dev/null
)

(cd "$SRC/tests/web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)
cd "$SRC/tests/web"
TARN_WEB_DIR="$SRC/build-web" TARN_BUILD="$build" TARN_GUIDE_WEB="$game/build-web" \
    node --test --test-concurrency=1 pages.test.mjs
