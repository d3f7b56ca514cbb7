#!/bin/sh
# Builds the Debian package from a built tree (default ./build) and checks it the way a
# distribution would: the desktop entry and the AppStream metadata validate, lintian finds no
# errors, the packaged program runs from where it is unpacked, and apt can resolve what it needs.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}

desktop-file-validate packaging/org.quillo.Quillo.desktop
appstreamcli validate --no-net "$build/packaging/org.quillo.Quillo.metainfo.xml"

rm -f "$build"/quillo_*.deb
(cd "$build" && cpack -G DEB)
deb=$(cd "$build" && echo "$PWD"/quillo_*_amd64.deb)
dpkg-deb --info "$deb"
lintian --fail-on error --display-level '>=warning' "$deb"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
"$scratch/usr/bin/quillo" --version
# Screen text comes from a module the program loads from its private library directory.
"$scratch/usr/bin/quillo" --ocr tests/fixtures/ocr/featherpad-en-16-selected.png >/dev/null
# So does libcurl, which carries every exchange but plain http to this machine.
find "$scratch/usr/lib" -path '*/quillo/modules/quillo_curl.so' | grep -q .
apt-get install -s "$deb" > "$scratch/apt.log" || { cat "$scratch/apt.log"; exit 1; }
echo "package ok: $deb"
