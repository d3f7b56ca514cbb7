#!/bin/sh
# Installs what is missing, builds, and runs every test (unit, integration, gui and x11).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
cd build
ctest --output-on-failure --parallel 2 "$@"
