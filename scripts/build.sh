#!/bin/sh
# Configures and builds Quillo into ./build (RelWithDebInfo). Extra arguments go to CMake, for
# example -DQUILLO_SANITIZE=ON (AddressSanitizer + UBSan), -DQUILLO_TSAN=ON (ThreadSanitizer) or
# -DQUILLO_WERROR=ON (warnings fail the build).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja "$@"
cmake --build build
