#!/usr/bin/env bash
# Builds examples/consumer, a program outside Tarn's tree, every way another project takes Tarn,
# and runs each build. Called by scripts/run-tests.sh and scripts/run-windows.sh.
#
#   scripts/test-consumer.sh linux BUILD      (BUILD: a Linux build folder, already built)
#     1. cmake --install BUILD into a prefix; find_package(Tarn) against it
#     2. add_subdirectory of this source tree (the library alone is built again)
#     3. pkg-config against the prefix, compiled with g++ by hand
#     4. the Debian package: cpack -G DEB in BUILD, lintian (no errors or warnings allowed;
#        informational tags are shown), then, as root, apt-get install, find_package and
#        pkg-config against /usr, apt-get remove
#   scripts/test-consumer.sh windows BUILD [build-only]
#                                             (BUILD: a MinGW-w64 build folder, 64- or 32-bit,
#                                             already built)
#     cmake --install BUILD into a prefix; find_package(Tarn) with BUILD's toolchain file; the
#     program run under wine (on the caller's X server and Wine prefix), unless build-only: for
#     a width this machine's Wine cannot run
#
# Each program shows the installed demo picture for a few frames (on Linux on the headless host,
# whose sound card it opens) and must exit 0; its folder of assets must be copied beside it
# (tarn_add_program). The install must hold no private header (internal/, cpu/), and a project
# that has Tarn as a subdirectory must reach the library's and the Windows-named headers but not
# the stand-in's inside nor the tests' helpers. The installed tarnsnd must read the installed
# sounds. The examples in examples/ are built against the install the same way (and on
# Linux run for a few frames). The work goes to BUILD/consumer/.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
mode=$1
build=$(cd "$2" && pwd)
work=$build/consumer
jobs=$(nproc)
fail() { echo "test-consumer.sh: $*" >&2; exit 1; }
step() { echo "== consumer: $*"; }

# run NAME PROGRAM PICTURE: the program must exit 0 and say it showed its frames.
run() {
    local name=$1 out status=0
    out=$("${@:2}" 2>&1 | tr -d '\r') || status=$?
    printf '%s\n' "$out"
    [ "$status" = 0 ] || fail "$name: exit $status"
    [[ "$out" == *"consumer: Tarn "*" frames of "* ]] || fail "$name: no frames reported"
}

# has_assets NAME FOLDER: tarn_add_program copied the consumer's assets beside it.
has_assets() {
    cmp -s examples/consumer/assets/data/consumer.txt "$2/data/consumer.txt" ||
        fail "$1: the assets are not beside the program in $2"
}

rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
# The libraries' folder under the prefix (lib/x86_64-linux-gnu on Debian, lib elsewhere).
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:[A-Z]*=//p' "$build/CMakeCache.txt")
[ -n "$libdir" ] || fail "$build has no CMAKE_INSTALL_LIBDIR"
step "install $build into $prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
private=$(find "$prefix/include" -path '*/internal/*' -o -path '*/cpu/*')
[ -z "$private" ] || fail "the install holds private headers: $private"

if [ "$mode" = windows ]; then
    toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$build/CMakeCache.txt")
    [ -n "$toolchain" ] || fail "$build was not configured with a toolchain file"
    [[ "$toolchain" == /* ]] || toolchain=$src/$toolchain
    step "find_package, $(basename "$toolchain")"
    cmake --no-warn-unused-cli -S examples/consumer -B "$work/find_package" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
    cmake --build "$work/find_package" -j "$jobs" >/dev/null
    has_assets "windows find_package" "$work/find_package"
    if [ "${3:-}" != build-only ]; then
        run "windows find_package" wine "$work/find_package/consumer.exe" \
            "Z:$prefix/share/tarn/landskap.bmp"
    fi
    # The examples against the same install (the tree's own builds of them run under wine in
    # the Windows tests).
    for script in examples/*/screenshot.script; do
        example=$(basename "$(dirname "$script")")
        step "example $example, find_package, $(basename "$toolchain")"
        cmake --no-warn-unused-cli -S "examples/$example" -B "$work/example-$example" \
            -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
        cmake --build "$work/example-$example" -j "$jobs" >/dev/null
    done
    exit 0
fi

export TARN_HOST=headless
picture=$prefix/share/tarn/landskap.bmp

step "find_package against $prefix"
cmake -S examples/consumer -B "$work/find_package" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/find_package" -j "$jobs" >/dev/null
has_assets "find_package" "$work/find_package"
run "find_package" "$work/find_package/consumer" "$picture"
step "tarnsnd of $prefix on its sounds"
for sound in "$prefix"/share/tarn/sounds/*; do "$prefix/bin/tarnsnd" info "$sound"; done

# The examples, each a project of its own: built against the install and run for a few frames.
for script in examples/*/screenshot.script; do
    example=$(basename "$(dirname "$script")")
    step "example $example, find_package against $prefix"
    cmake -S "examples/$example" -B "$work/example-$example" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
    cmake --build "$work/example-$example" -j "$jobs" >/dev/null
    args=$(sed -n 's/^# args://p' "$script" | head -1)
    read -r -a arguments <<<"${args//@ASSETS@/$prefix/share/tarn}"
    (cd "$work" && TARN_HEADLESS_SCRIPT="frames 3; key ESCAPE" \
        "$work/example-$example/$example" "${arguments[@]}") || fail "example $example: exit $?"
done

step "add_subdirectory of $src"
# What a program may include (the library, the Windows-named headers, the version) and what it
# must not reach (the stand-in's hosts and inside, the tests' helpers), however it names them.
reachable=(game/TarnGame.h windows.h TarnVersion.h)
unreachable=(platform/host/Host.h host/Host.h platform/internal/StandIn.h internal/StandIn.h
             tests/support/HeadlessTest.h support/HeadlessTest.h HeadlessTest.h)
headers=("${reachable[@]}" "${unreachable[@]}")
cmake -S examples/consumer -B "$work/add_subdirectory" -DTARN_SOURCE_DIR="$src" \
    "-DTARN_CONSUMER_REACH=$(IFS=';'; echo "${headers[*]}")" >/dev/null
cmake --build "$work/add_subdirectory" -j "$jobs" >/dev/null
has_assets "add_subdirectory" "$work/add_subdirectory"
for i in "${!headers[@]}"; do
    status=0
    out=$(cmake --build "$work/add_subdirectory" --target "reach_$i" 2>&1) || status=$?
    if [ "$i" -lt "${#reachable[@]}" ]; then
        [ "$status" = 0 ] || { printf '%s\n' "$out" | tail -20; fail "add_subdirectory: a program cannot include ${headers[$i]}"; }
    elif [ "$status" = 0 ]; then
        fail "add_subdirectory: a program reaches ${headers[$i]}"
    elif [[ "$out" != *"${headers[$i]}: No such file"* ]]; then
        printf '%s\n' "$out" | tail -20
        fail "add_subdirectory: reach_$i failed for another reason than ${headers[$i]} not found"
    fi
done
# Only the library is built inside another project: no demo, tools, tests or benchmarks.
extra=$(find "$work/add_subdirectory" -type f -perm -u+x \
            \( -name 'test_*' -o -name myfirsttarn -o -name tarnimg -o -name tarnsnd -o -name tarn_bench \))
[ -z "$extra" ] || fail "add_subdirectory built Tarn's own programs: $extra"
run "add_subdirectory" "$work/add_subdirectory/consumer" "$picture"

# build_with_pkg_config NAME: g++ and pkg-config's flags, as a Makefile would.
build_with_pkg_config() {
    local flags
    flags=$(pkg-config --cflags --libs tarn-winmain tarn)
    # shellcheck disable=SC2086 # the flags are words
    g++ -o "$work/$1" examples/consumer/consumer.cpp $flags
}
step "pkg-config against $prefix"
PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig build_with_pkg_config pkg-config
run "pkg-config" "$work/pkg-config" "$picture"

step "Debian package"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/libtarn-dev_*.deb)
echo "lintian $(basename "$deb"):"
lintian_status=0
lintian --display-info --fail-on error,warning "$deb" || lintian_status=$?
[ "$lintian_status" = 0 ] || fail "lintian reports errors or warnings"
if [ "$(id -u)" -ne 0 ]; then
    echo "consumer: installing the Debian package needs root; that step is skipped"
    exit 0
fi
export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -o DPkg::Lock::Timeout=300 -y -qq)
"${apt[@]}" install "$deb" >/dev/null
removed=""
remove() { [ -n "$removed" ] || "${apt[@]}" remove libtarn-dev >/dev/null; removed=1; }
trap remove EXIT
step "find_package against the installed package"
cmake -S examples/consumer -B "$work/deb-find_package" >/dev/null
cmake --build "$work/deb-find_package" -j "$jobs" >/dev/null
run "deb find_package" "$work/deb-find_package/consumer" /usr/share/tarn/landskap.bmp
step "pkg-config against the installed package"
build_with_pkg_config deb-pkg-config
run "deb pkg-config" "$work/deb-pkg-config" /usr/share/tarn/landskap.bmp
remove
dpkg-query -W -f='${Status}' libtarn-dev 2>/dev/null | grep -q 'ok installed' && fail "libtarn-dev is still installed"
[ ! -e "/usr/$libdir/cmake/Tarn" ] || fail "/usr/$libdir/cmake/Tarn is left behind"
echo "consumer: every build ran"
