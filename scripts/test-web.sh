#!/usr/bin/env bash
# The web pages in a real browser: builds them (scripts/build-web.sh), installs Debian's chromium
# and playwright-core (tests/web, from the npm registry; its own browser download is never used),
# and runs tests/web/pages.test.mjs with node's test runner against the pages served on
# 127.0.0.1. The references come from the desktop build (BUILD_DIR: build): the demo's frame on
# the headless host and tarnimg.
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
(cd "$SRC/tests/web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)
cd "$SRC/tests/web"
TARN_WEB_DIR="$SRC/build-web" TARN_BUILD="$build" node --test --test-concurrency=1 pages.test.mjs
