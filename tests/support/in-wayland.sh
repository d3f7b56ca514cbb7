#!/bin/sh
# Runs the command in a private headless Wayland session of the named compositor (sway, or
# mutter as GNOME's): its own home, runtime directory, session and accessibility buses, Xwayland,
# and a keyboard on the seat (without one no window is ever ACTIVE). All of it ends with the
# command. The session's variables (WAYLAND_DISPLAY, DISPLAY, XDG_SESSION_TYPE,
# XDG_CURRENT_DESKTOP, and SWAYSOCK on sway) reach the command. sway refuses to run as root: as
# root, the whole run moves to the user nobody, which must be able to run the command; else the
# run is skipped (exit 77), as it is when the compositor is not installed.
#   in-wayland.sh sway|mutter COMMAND [ARG...]
set -eu
compositor=$1
shift
if [ "$(id -u)" -eq 0 ]; then
  if ! setpriv --reuid=65534 --regid=65534 --clear-groups sh -c 'command -v "$1"' - "$1" >/dev/null; then
    echo "skipped: the user nobody cannot run $1 (sway refuses root, so Wayland tests run as nobody)"
    exit 77
  fi
  exec setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/nonexistent sh "$0" "$compositor" "$@"
fi
case $compositor in
  sway) needed="sway wtype" ;;
  mutter) needed="mutter python3" ;;
  *) echo "in-wayland.sh: unknown compositor $compositor" >&2; exit 2 ;;
esac
for tool in $needed dbus-daemon /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed (scripts/install-deps.sh installs it)"; exit 77; }
done

dir=$(mktemp -d)
started=""
trap 'kill $started 2>/dev/null || true; wait; rm -rf "$dir" || true' EXIT
trap 'exit 143' TERM INT HUP
mkdir -m 700 "$dir/home" "$dir/runtime"
export HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" XDG_CONFIG_HOME="$dir/home/.config" \
  DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/runtime/bus"
unset AT_SPI_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY SWAYSOCK HYPRLAND_INSTANCE_SIGNATURE SESSION_MANAGER \
  QT_QPA_PLATFORM QT_LINUX_ACCESSIBILITY_ALWAYS_ON XDG_SESSION_TYPE XDG_CURRENT_DESKTOP

# Starts a program in the background, then polls the condition for 30 s at most.
start() {
  name=$1 ready=$2 tries=0
  shift 2
  "$@" >"$dir/$name.log" 2>&1 &
  started="$started $!"
  last=$!
  until eval "$ready" >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ "$tries" -lt 600 ] || { echo "Wayland session: $name did not start" >&2; cat "$dir/$name.log" >&2; exit 1; }
    sleep 0.05
  done
}

# A session bus that starts no services on demand: a portal or a document store started by it
# would outlive the session (and mount itself in the runtime directory). What a test needs, it starts.
cat >"$dir/session-bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>$DBUS_SESSION_BUS_ADDRESS</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
start session-bus '[ -S "$dir/runtime/bus" ]' dbus-daemon --config-file="$dir/session-bus.conf" --nofork --nopidfile
if [ "$compositor" = sway ]; then
  cat >"$dir/sway.conf" <<CONF
output HEADLESS-1 mode 1280x800 position 0 0
xwayland enable
exec env > $dir/sway.env.part && mv $dir/sway.env.part $dir/sway.env
CONF
  start sway '[ -s "$dir/sway.env" ]' env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 sway -c "$dir/sway.conf"
  for name in WAYLAND_DISPLAY SWAYSOCK DISPLAY; do
    value=$(sed -n "s/^$name=//p" "$dir/sway.env")
    export "$name=$value"
  done
  export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway
  start keyboard 'swaymsg -t get_seats | grep -q keyboard' wtype -s 86400000
else
  export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
  start mutter '[ -S "$dir/runtime/quillo-test-0" ] && pgrep -P "$last" Xwayland' \
    mutter --headless --wayland --wayland-display=quillo-test-0 --virtual-monitor 1280x800
  export WAYLAND_DISPLAY=quillo-test-0
  # Xwayland's display is the one on its command line; its cookie is in the runtime directory.
  export DISPLAY="$(pgrep -P "$last" -a Xwayland | grep -o ' :[0-9]*' | head -n 1 | tr -d ' ')"
  export XAUTHORITY="$(ls "$dir"/runtime/.mutter-Xwaylandauth.* | head -n 1)"
  start keyboard '[ -s "$dir/keyboard.ready" ]' python3 "$(dirname "$0")/mutter-keyboard.py" "$dir/keyboard.ready"
fi
# Toolkits look for the accessibility bus when they start, so clients must wait for it. Its
# switch is kept in memory: no settings service is started for it on this bus.
start accessibility-bus 'dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus | grep -q true' \
  env GSETTINGS_BACKEND=memory /usr/libexec/at-spi-bus-launcher --launch-immediately

status=0
"$@" || status=$?
exit "$status"
