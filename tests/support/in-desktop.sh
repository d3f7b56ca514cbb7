#!/bin/sh
# Runs the command in a private X11 desktop (Xvfb on a free display, openbox, the session and
# accessibility buses, a home and runtime directory of its own); all of it ends with the command.
set -eu
dir=$(mktemp -d)
started=""
# GTK programs start the document portal on our session bus; it mounts runtime/doc and unmounts it
# only once it notices the bus is gone, which can be after the directory is removed, and may
# mount it after the look below (seen in the Debian 13 chroot): that is no failure of the command.
cleanup() {
  kill $started 2>/dev/null || true
  wait
  if mountpoint -q "$dir/runtime/doc"; then
    fusermount3 -uz "$dir/runtime/doc" 2>/dev/null || fusermount -uz "$dir/runtime/doc" 2>/dev/null || umount -l "$dir/runtime/doc"
  fi
  rm -rf "$dir" || true
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP
mkdir -m 700 "$dir/home" "$dir/runtime"
export HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" XDG_CONFIG_HOME="$dir/home/.config" \
  DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/runtime/bus"
unset AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY XDG_SESSION_TYPE XDG_CURRENT_DESKTOP SWAYSOCK HYPRLAND_INSTANCE_SIGNATURE SESSION_MANAGER QT_QPA_PLATFORM QT_LINUX_ACCESSIBILITY_ALWAYS_ON

# Starts a program in the background, then polls the condition for 60 s at most (a loaded machine).
start() {
  name=$1 ready=$2 tries=0
  shift 2
  "$@" >/dev/null 2>&1 &
  started="$started $!"
  until eval "$ready" >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ "$tries" -lt 1200 ] || { echo "desktop: $name did not start" >&2; exit 1; }
    sleep 0.05
  done
}

# -displayfd: the server picks a free display and writes its number once it accepts clients.
# -noreset: else the server resets whenever its last client leaves, as each poll below does, and a
# window manager still connecting at that moment loses its connection and exits.
start Xvfb '[ -s "$dir/display" ]' sh -c 'exec Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$0"' "$dir/display"
export DISPLAY=":$(cat "$dir/display")"
start "the session bus" '[ -S "$dir/runtime/bus" ]' dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS"
# Without a window manager no window ever gets the focus.
start openbox 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' openbox --sm-disable
# Toolkits look for the accessibility bus when they start, so clients must wait for it.
start "the accessibility bus" 'dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus | grep -q true' /usr/libexec/at-spi-bus-launcher --launch-immediately

status=0
"$@" || status=$?
exit "$status"
