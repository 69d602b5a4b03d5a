#!/usr/bin/env bash
# pugixml's source for the builds that cannot link Debian's libpugixml (the browser, Windows):
# Debian's source package of the same release as this machine's packages, unpacked into DEST
# (DEST/src/pugixml.cpp, pugixml.hpp, pugiconfig.hpp), where cmake/TarnMap.cmake compiles it
# into the library when given -DTARN_PUGIXML_SOURCE_DIR=DEST. apt reads a deb-src line for the
# archive and suite of this machine's own Debian deb line from a list of the script's own (the
# machine's apt configuration is left as it is). Does nothing when DEST has it already.
#   scripts/pugixml-source.sh DEST
set -euo pipefail
dest=${1:?usage: scripts/pugixml-source.sh DEST}
[ -f "$dest/src/pugixml.cpp" ] && exit 0
command -v dpkg-source >/dev/null || { echo "pugixml-source.sh: dpkg-source (dpkg-dev) is needed" >&2; exit 1; }

# The machine's Debian archive and suite: a deb822 .sources file or a one-line list.
uri="" suite=""
for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    u=$(awk '/^URIs:/ { print $2; exit }' "$f")
    s=$(awk '/^Suites:/ { print $2; exit }' "$f")
    if [[ "$u" == */debian && -n "$s" ]]; then uri=$u suite=$s; break; fi
done
if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
    read -r uri suite < <(awk '$1 == "deb" && $2 ~ /\/debian\/?$/ { print $2, $3; exit }' \
        /etc/apt/sources.list) || true
fi
[ -n "$uri" ] && [ -n "$suite" ] || { echo "pugixml-source.sh: no Debian deb line found in /etc/apt" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial"
echo "deb-src $uri $suite main" >"$work/sources.list"
apt=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=- -o "Dir::State::Lists=$work/lists")
apt-get "${apt[@]}" -q update >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
(cd "$work" && apt-get "${apt[@]}" -q source --download-only pugixml >>"$work/log" 2>&1) ||
    { cat "$work/log" >&2; exit 1; }
rm -rf "$dest"
mkdir -p "$(dirname "$dest")"
dpkg-source -x "$work"/pugixml_*.dsc "$dest" >>"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
[ -f "$dest/src/pugixml.cpp" ] || { echo "pugixml-source.sh: no src/pugixml.cpp in the package" >&2; exit 1; }
echo "pugixml-source.sh: $(basename "$work"/pugixml_*.dsc .dsc) in $dest"
