#!/bin/sh
# Runs the command in a private X11 desktop: Xvfb on a free display, the openbox window manager,
# a D-Bus session bus and the accessibility bus, with a home and runtime directory of its own.
# Everything started here ends with the command; the clients it left on the display go with it.
set -eu
dir=$(mktemp -d)
started=""
trap 'kill $started 2>/dev/null || true; wait; rm -rf "$dir"' EXIT
trap 'exit 143' TERM INT HUP
mkdir -m 700 "$dir/home" "$dir/runtime"
export HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" XDG_CONFIG_HOME="$dir/home/.config"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/runtime/bus"
unset AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER QT_QPA_PLATFORM QT_LINUX_ACCESSIBILITY_ALWAYS_ON

# Polls the condition for 15 s at most.
wait_for() {
  tries=0
  until eval "$1" >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ "$tries" -lt 300 ] || { echo "desktop: $2 did not start" >&2; exit 1; }
    sleep 0.05
  done
}

# -displayfd: the server picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" 2>/dev/null &
started="$started $!"
wait_for '[ -s "$dir/display" ]' Xvfb
export DISPLAY=":$(cat "$dir/display")"
dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" 2>/dev/null &
started="$started $!"
wait_for '[ -S "$dir/runtime/bus" ]' "the session bus"
# Without a window manager no window ever gets the focus.
openbox --sm-disable >/dev/null 2>&1 &
started="$started $!"
wait_for 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' openbox
# Toolkits look for the accessibility bus when they start, so clients must wait for it.
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
started="$started $!"
wait_for 'dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus | grep -q true' "the accessibility bus"

status=0
"$@" || status=$?
exit "$status"
