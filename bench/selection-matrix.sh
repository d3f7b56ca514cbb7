#!/bin/sh
# Runs the selection matrix (bench/CaptureLatencyBench.cpp) in a private desktop: every installed
# application of the list is started with the same phrase selected, read, collapsed and written,
# and its capture latency measured. Firefox and LibreOffice are too heavy for the test suite and
# are covered here; install them by hand (firefox-esr, libreoffice-writer, libreoffice-gtk3).
# Arguments: parts of application names to run (all when none), e.g. firefox writer.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$root/build}
exec "$root/tests/support/in-desktop.sh" "$build/bin/bench_capture_latency" "$@"
