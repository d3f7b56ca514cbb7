#!/bin/sh
# Installs every Debian 12 or 13 package Quillo needs to build, run and be tested. Idempotent; runs
# as root without a terminal, or through sudo for a normal user.
set -eu

packages="
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-multimedia-dev
  libcurl4-openssl-dev
  libx11-dev libxtst-dev libxcb1-dev libxcb-keysyms1-dev libxcb-xkb-dev libxcb-xfixes0-dev libxcb-xtest0-dev
  libxkbcommon-dev libxkbcommon-x11-dev
  libatspi2.0-dev at-spi2-core dbus dbus-x11
  libwayland-dev qt6-wayland
  sway xwayland mutter kwin-wayland gnome-shell wtype wl-clipboard python3-gi python3-dbus gir1.2-atspi-2.0
  libtesseract-dev tesseract-ocr-chi-sim tesseract-ocr-eng
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  xvfb xdotool xclip x11-xkb-utils x11-utils openbox mousepad xterm iproute2 util-linux
  fonts-noto-cjk fonts-dejavu-core
  fonts-noto-color-emoji
  gnome-text-editor featherpad sakura
  trayer
  qt6-wayland python3-dbus python3-gi xcompmgr
  pulseaudio pulseaudio-utils espeak-ng sox
  file
  grim
  libglib2.0-bin nodejs
"
# The package checks, formatting, fuzzing and the Debian 13 chroot: what a run of the tests alone
# leaves out (QUILLO_DEPS=tests, as in that chroot). clang only recommends its OpenMP, and
# recommends are not installed: the fuzz build of the screen-text code needs libomp-dev named.
if [ "${QUILLO_DEPS:-}" != tests ]; then
  packages="$packages
    desktop-file-utils appstream lintian
    debootstrap
    clang libclang-rt-dev libomp-dev clang-format
  "
fi

# Panels as overlay layer surfaces need layer-shell-qt for Qt 6, which Debian 13 has (Debian
# 12's is built for Qt 5, and its Qt 6.4 is too old for it anyway). GNOME's own portals are tested
# from GNOME 48 on, whose backend has the shortcuts portal; Debian 12's has none.
case "$(. /etc/os-release && echo "${VERSION_CODENAME:-}")" in
  bookworm) ;;
  *) packages="$packages liblayershellqtinterface-dev xdg-desktop-portal xdg-desktop-portal-gnome" ;;
esac

if [ "$(id -u)" -eq 0 ]; then
  as_root=""
else
  as_root="sudo"
fi

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
# The speech engine is fetched with npm; Debian's npm serves where none is installed.
command -v npm >/dev/null 2>&1 || missing="$missing npm"
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  $as_root apt-get update
  # shellcheck disable=SC2086
  $as_root apt-get install -y --no-install-recommends $missing
fi

# The on-device speech engine comes from npm, into the invoking user's cache.
sh "$(dirname "$0")/install-sherpa.sh"
