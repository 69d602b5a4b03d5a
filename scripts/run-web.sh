#!/usr/bin/env bash
# Builds the web pages (scripts/build-web.sh) and serves build-web/ on 127.0.0.1, printing the
# address; Ctrl+C stops the server. Any static web server will do as well (see docs/guide.md).
#   scripts/run-web.sh [PORT]
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
port=${1:-8080}
"$SRC/scripts/build-web.sh"
echo "run-web.sh: open http://127.0.0.1:$port/ (the demo: http://127.0.0.1:$port/myfirsttarn.html)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$SRC/build-web"
