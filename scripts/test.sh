#!/bin/sh
# Installs what is missing, checks the C++ formatting, builds, runs every test (unit, integration, gui and x11), then builds
# the Debian package and runs the distribution's validators on it; as root, builds and tests once
# more in a Debian 13 chroot (test-debian13.sh; QUILLO_DEBIAN13=skip leaves it out). Extra
# arguments go to ctest.
# In CI (CI=true) every compiler warning fails the build.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/check-format.sh
if [ "${CI:-}" = true ]; then
  ./scripts/build.sh -DQUILLO_WERROR=ON
else
  ./scripts/build.sh -DQUILLO_WERROR=OFF
fi
(cd build && ctest --output-on-failure --parallel 2 "$@")
# A short run of every fuzz target (bench/fuzz.sh), where clang is there to build them.
if command -v clang++ >/dev/null 2>&1; then
  ./bench/fuzz.sh "${QUILLO_FUZZ_SMOKE_SECONDS:-10}"
fi
./packaging/check-package.sh build
./scripts/test-debian13.sh "$@"
