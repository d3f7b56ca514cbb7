#!/bin/sh
# Fetches the on-device speech engine (sherpa-onnx's shared libraries, Apache-2.0) from its
# pinned npm package into the per-user cache the build copies them from. Idempotent; needs npm,
# not root. The build reads the version below, so this line is the one place to change it.
set -eu

version=1.13.8
sha512=ea99678636a0b127939ed0a09e56a0f3a8566ecfee644f42ae6b352e039bebcff59cab0842331df961b9d7d9be68fc13e93aec04e884333af1e35b7cb0be4be6

dest="${XDG_CACHE_HOME:-$HOME/.cache}/quillo/sherpa-onnx-linux-x64-$version"
if [ -f "$dest/libsherpa-onnx-c-api.so" ] && [ -f "$dest/libonnxruntime.so" ]; then
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
npm pack --silent "sherpa-onnx-linux-x64@$version" >/dev/null
tarball="sherpa-onnx-linux-x64-$version.tgz"
if ! echo "$sha512  $tarball" | sha512sum -c --status; then
  echo "install-sherpa: $tarball does not match its pinned checksum" >&2
  exit 1
fi
tar xzf "$tarball"
mkdir -p "$dest.partial"
cp package/libsherpa-onnx-c-api.so package/libonnxruntime.so "$dest.partial/"
rm -rf "$dest"
mv "$dest.partial" "$dest"
echo "install-sherpa: sherpa-onnx $version in $dest"
