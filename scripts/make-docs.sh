#!/usr/bin/env bash
# Builds the API reference from the library's public headers with Doxygen (docs/Doxyfile) into
# build/docs/html/index.html. A public call without its comment, or a malformed comment, is a
# warning and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v doxygen >/dev/null || scripts/deps.sh
mkdir -p build/docs
doxygen docs/Doxyfile
echo "API reference: build/docs/html/index.html"
