#!/bin/sh
# Builds Quillo with warnings as errors and runs its unit, integration, gui and x11 tests, and the
# Wayland tests labelled debian13, inside a Debian 13 (trixie) chroot, so Qt 6.8, GCC 14 and the
# newer compositors are tested beside the machine's Debian 12. Extra arguments go to ctest. Runs
# as root where debootstrap and new namespaces are available, and says in one line why it skips
# otherwise or when QUILLO_DEBIAN13=skip. The tree is kept in QUILLO_TRIXIE_ROOT (default
# /var/cache/quillo/trixie) and reused: it is refreshed when install-deps.sh changes or a week
# after the last refresh. The source is mounted read-only; the build stays inside the tree, so a
# second run builds only what changed. QUILLO_DEBIAN_MIRROR names another Debian mirror.
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
root=${QUILLO_TRIXIE_ROOT:-/var/cache/quillo/trixie}
mirror=${QUILLO_DEBIAN_MIRROR:-http://deb.debian.org/debian}

skip() {
  echo "Debian 13 tests skipped: $*"
  exit 0
}
[ "${QUILLO_DEBIAN13:-}" != skip ] || skip "QUILLO_DEBIAN13=skip"
[ "$(id -u)" -eq 0 ] || skip "debootstrap and chroot need root"
command -v debootstrap >/dev/null 2>&1 || skip "debootstrap is not installed"
unshare --mount --pid --net --fork true 2>/dev/null || skip "this machine does not allow new namespaces"

# in_chroot [--net] COMMAND...: private mounts and processes, all gone when COMMAND ends;
# --net also cuts the network off but for a loopback of its own, where the tests' fixed ports,
# X displays and buses meet nothing of the machine's.
in_chroot() {
  if [ "$1" = --net ]; then
    shift
    unshare --mount --pid --net --fork -- sh -c 'ip link set lo up && exec "$@"' sh \
      sh "$src/scripts/chroot-run.sh" "$root" "$src" "$@"
  else
    unshare --mount --pid --fork -- sh "$src/scripts/chroot-run.sh" "$root" "$src" "$@"
  fi
}

stamp="$root/var/lib/quillo-ci/packages"
wanted=$(cat "$src/scripts/install-deps.sh" "$src/scripts/install-sherpa.sh" | sha256sum | cut -d' ' -f1)

if [ ! -d "$root" ]; then
  echo "Debian 13: creating $root from $mirror"
  rm -rf "$root.partial"
  mkdir -p "$(dirname "$root")"
  debootstrap --variant=minbase --components=main trixie "$root.partial" "$mirror"
  # A tree made again at will: dpkg need not sync every file it writes, and no manual or
  # documentation is unpacked.
  printf 'force-unsafe-io\npath-exclude=/usr/share/man/*\npath-exclude=/usr/share/doc/*\n' \
    >"$root.partial/etc/dpkg/dpkg.cfg.d/quillo-ci"
  cat >"$root.partial/etc/apt/sources.list" <<EOF
deb $mirror trixie main
deb $mirror trixie-updates main
EOF
  # Package scripts must not start services inside the tree.
  printf '#!/bin/sh\nexit 101\n' >"$root.partial/usr/sbin/policy-rc.d"
  chmod +x "$root.partial/usr/sbin/policy-rc.d"
  mkdir -p "$root.partial/var/lib/quillo-ci"
  mv "$root.partial" "$root"
fi

if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$wanted" ] || [ -n "$(find "$stamp" -mtime +7)" ]; then
  echo "Debian 13: bringing the packages up to date"
  # The tree trusts the certificate authorities this machine added (a company proxy's, say), so
  # npm reaches its registry from inside as it does from outside.
  if [ -d /usr/local/share/ca-certificates ]; then
    mkdir -p "$root/usr/local/share/ca-certificates"
    cp -R /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
  fi
  in_chroot sh -c 'export DEBIAN_FRONTEND=noninteractive &&
    apt-get update && apt-get -y dist-upgrade &&
    apt-get -y install --no-install-recommends ca-certificates && update-ca-certificates &&
    QUILLO_DEPS=tests sh /src/scripts/install-deps.sh && apt-get clean'
  echo "$wanted" >"$stamp.new"
  mv "$stamp.new" "$stamp"
fi

echo "Debian 13: building and testing"
# The build is readable by all: the Wayland tests run as nobody (sway refuses root). Without
# debugging information it takes half the time, with the optimisation, and so the warnings, of
# the main build; the benchmarks are the main build's.
in_chroot --net sh -c 'build=/var/lib/quillo-ci/build &&
  cmake -S /src -B $build -G Ninja -DQUILLO_WERROR=ON -DQUILLO_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" &&
  cmake --build $build &&
  cd $build && ctest --output-on-failure --parallel 2 -L "unit|integration|gui|x11|debian13" "$@"' sh "$@"
