#!/bin/sh
# Redraws the README's pictures from a built tree (default ./build) with quillo --render-preview,
# in English, with a scratch home, and shrinks them with pngquant and optipng (Debian packages of
# those names).
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
# A home of a readable name: the settings window shows paths under it.
scratch=${TMPDIR:-/tmp}/quillo-home
rm -rf "$scratch"
mkdir -m 700 "$scratch"
trap 'rm -rf "$scratch"' EXIT
HOME="$scratch" SELVANE_UI_LANG=en QT_QPA_PLATFORM=offscreen "$build/bin/quillo" --render-preview "$scratch/shots" >/dev/null 2>&1
for picture in popup-explain-result popup-conversation settings; do
  pngquant --force --strip --quality 70-95 --output "docs/$picture.png" "$scratch/shots/$picture.png"
  optipng -quiet -o5 "docs/$picture.png"
done
