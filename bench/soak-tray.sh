#!/bin/sh
# Soaks the tray application (bench/SoakTray.cpp): ROUNDS shortcut → answer → close rounds
# (1,000 unless given; --no-memory after it keeps the lookups out of the knowledge base) in a
# private desktop and network, reporting memory, descriptors and threads every 100 rounds.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$root/build}
cmake --build "$build" --target bench_soak_tray quillo fake_ollama >/dev/null
exec "$root/tests/support/in-private-network.sh" "$root/tests/support/in-desktop.sh" "$build/bin/bench_soak_tray" "$@"
