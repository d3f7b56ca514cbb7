#!/bin/sh
# Installs what is missing, builds, and starts Quillo.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
# The tray application is not built yet: until it is, this shows what the program can do.
exec ./build/bin/quillo --help
