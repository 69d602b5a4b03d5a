#!/usr/bin/env bash
# The browser's numbers for the demo's page (bench/web/measure.mjs): builds the pages
# (scripts/build-web.sh), installs Debian's chromium and playwright-core as the browser tests do,
# and prints the table (download, navigation to the first frame, frame time beside a minimal
# page). scripts/run-bench.sh runs it after the native benchmarks.
#   bench/web.sh
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
dpkg -s chromium >/dev/null 2>&1 || {
    [ "$(id -u)" = 0 ] || { echo "web.sh: needs the chromium package" >&2; exit 1; }
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq chromium >/dev/null
}
"$SRC/scripts/build-web.sh" >/dev/null
(cd "$SRC/tests/web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)
TARN_WEB_DIR="$SRC/build-web" node "$SRC/bench/web/measure.mjs"
