#!/bin/sh
# Runs the tray application's benchmark (bench/TrayBench.cpp) in a private desktop with a tray host.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$root/build}
exec "$root/tests/support/in-desktop.sh" "$build/bin/bench_tray" "$@"
