#!/usr/bin/env bash
# Makes sure the Debian packages the project needs are installed: installs the missing ones when
# run as root, otherwise names them with the command that installs them and fails.
# Usage: scripts/deps.sh [extra package ...]
#        scripts/deps.sh --only package ...   (just these, for the scripts that need few)
set -euo pipefail

if [ "${1:-}" = "--only" ]; then
    shift
    packages=("$@")
else
    packages=(
    build-essential cmake pkg-config
    libsdl2-dev libjpeg-dev libpng-dev libdeflate-dev libspng-dev libfreetype-dev libfontconfig-dev
    libsdl2-ttf-dev libsdl2-gfx-dev
    libpugixml-dev rapidjson-dev libzstd-dev
    fonts-dejavu-core
    googletest libgtest-dev libbenchmark-dev libstb-dev libvorbis-dev clang libclang-rt-14-dev
    xvfb xdotool imagemagick x11-utils
    dpkg-dev file lintian doxygen
    "$@"
    )
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

# Packages of another architecture (name:i386) need that architecture known to dpkg first.
foreign=()
for p in "${missing[@]}"; do
    [[ $p == *:* ]] || continue
    arch=${p##*:}
    if [ "$arch" != "$(dpkg --print-architecture)" ] &&
        ! dpkg --print-foreign-architectures | grep -qx "$arch" &&
        [[ " ${foreign[*]} " != *" $arch "* ]]; then
        foreign+=("$arch")
    fi
done

if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    for arch in "${foreign[@]}"; do dpkg --add-architecture "$arch"; done
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
else
    echo "Missing Debian packages: ${missing[*]}" >&2
    for arch in "${foreign[@]}"; do
        echo "First add their architecture:  sudo dpkg --add-architecture $arch && sudo apt-get update" >&2
    done
    echo "Install them with:  sudo apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
fi
