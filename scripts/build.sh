#!/bin/sh
# Configures and builds Quillo into ./build (RelWithDebInfo). Extra arguments go to CMake,
# for example -DQUILLO_SANITIZE=ON for an AddressSanitizer + UBSan build.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja "$@"
cmake --build build
