#!/usr/bin/env bash
# Makes sure the Debian packages the project needs are installed: installs the missing ones when
# run as root, otherwise names them with the command that installs them and fails.
# Usage: scripts/deps.sh [extra package ...]
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    libsdl2-dev libjpeg-dev libpng-dev libspng-dev libfreetype-dev fonts-dejavu-core
    googletest libgtest-dev libbenchmark-dev libstb-dev clang libclang-rt-14-dev
    xvfb xdotool imagemagick x11-utils
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
else
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them with:  sudo apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
fi
