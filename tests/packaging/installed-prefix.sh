#!/bin/sh
# Installs the built tree into a scratch prefix with a stand-in built-in engine beside the
# resources, and checks that the installed program finds that engine from its own location and
# answers through it. Arguments: the build directory, the fake Ollama program.
set -eu
build=$1 fake_ollama=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
mkdir -p "$scratch/prefix/share/quillo/ollama-runtime/bin" "$scratch/home"
cp "$fake_ollama" "$scratch/prefix/share/quillo/ollama-runtime/bin/ollama"
HOME="$scratch/home" "$scratch/prefix/bin/quillo" --selftest-pull qwen2.5:0.5b > "$scratch/out" 2>&1 || true
cat "$scratch/out"
grep -q "^isBundled=true" "$scratch/out" && grep -q "^PULL_SELFTEST_PASS$" "$scratch/out"
