#!/bin/sh
# Runs the command in a private headless Wayland session of the named compositor (sway, KWin,
# GNOME Shell, or mutter alone): its own home, runtime directory, session and accessibility buses, Xwayland,
# and a keyboard on the seat (without one no window is ever ACTIVE). All of it ends with the
# command. With QUILLO_GNOME_PORTALS=1, GNOME Shell 48 or later gets the real desktop portal
# beside it: xdg-desktop-portal with its GNOME backend, the permission store and GNOME's shortcuts
# provider, all on the session's bus and settings (skipped where they or Shell 48 are missing).
# The session's variables (WAYLAND_DISPLAY, DISPLAY, XDG_SESSION_TYPE,
# XDG_CURRENT_DESKTOP, SWAYSOCK on sway, and QUILLO_TEST_COMPOSITOR_LOG, where the compositor writes
# what its scripts print) reach the command. sway refuses to run as root: as
# root, the whole run moves to the user nobody, which must be able to run the command; else the
# run is skipped (exit 77), as it is when the compositor is not installed. GNOME Shell wants a
# system bus and no logind to ask for a seat: it runs only as root, in mount and process
# namespaces of its own where /run and /tmp are private and a system bus runs as long as the
# session (Xwayland's lock file there names a pid of that namespace: in the machine's /tmp it
# would never be seen as stale, and after 50 runs no display would be left).
#   in-wayland.sh sway|kwin|gnome-shell|mutter COMMAND [ARG...]
set -eu
compositor=$1
shift
if [ "$(id -u)" -eq 0 ]; then
  if ! setpriv --reuid=65534 --regid=65534 --clear-groups sh -c 'command -v "$1"' - "$1" >/dev/null; then
    echo "skipped: the user nobody cannot run $1 (sway refuses root, so Wayland tests run as nobody)"
    exit 77
  fi
  if [ "$compositor" = gnome-shell ]; then
    unshare --mount --pid --fork true 2>/dev/null || { echo "skipped: no mount and process namespaces here for GNOME Shell's system bus"; exit 77; }
    exec unshare --mount --pid --fork --kill-child --mount-proc --propagation private sh -c '
      mount -t tmpfs -o mode=755 none /run && mount -t tmpfs -o mode=1777 none /tmp && mkdir -m 1777 /tmp/.X11-unix &&
      mkdir /run/dbus && dbus-daemon --system --fork --nopidfile &&
      exec setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/nonexistent QUILLO_PRIVATE_RUN=1 sh "$@"' \
      - "$0" "$compositor" "$@"
  fi
  exec setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/nonexistent sh "$0" "$compositor" "$@"
fi
if [ "$compositor" = gnome-shell ] && [ -z "${QUILLO_PRIVATE_RUN:-}" ]; then
  echo "skipped: GNOME Shell runs here only as root (it needs a private system bus)"
  exit 77
fi
case $compositor in
  sway) needed="sway wtype" ;;
  kwin) needed="kwin_wayland" ;;
  gnome-shell) needed="gnome-shell python3" ;;
  mutter) needed="mutter python3" ;;
  *) echo "in-wayland.sh: unknown compositor $compositor" >&2; exit 2 ;;
esac
if [ -n "${QUILLO_GNOME_PORTALS:-}" ]; then
  [ "$(gnome-shell --version 2>/dev/null | tr -dc '0-9.' | cut -d. -f1)" -ge 48 ] 2>/dev/null ||
    { echo "skipped: GNOME's shortcuts portal needs GNOME Shell 48"; exit 77; }
  needed="$needed /usr/libexec/xdg-permission-store /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-gnome
    /usr/libexec/gnome-control-center-global-shortcuts-provider"
fi
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
unset AT_SPI_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY SWAYSOCK HYPRLAND_INSTANCE_SIGNATURE SESSION_MANAGER QUILLO_PRIVATE_RUN \
  QT_QPA_PLATFORM QT_LINUX_ACCESSIBILITY_ALWAYS_ON XDG_SESSION_TYPE XDG_CURRENT_DESKTOP

# Starts a program in the background, then polls the condition for two minutes at most (a Shell
# starting on a busy machine may take most of that), as long as the program runs.
start() {
  name=$1 ready=$2 tries=0
  shift 2
  "$@" >"$dir/$name.log" 2>&1 &
  started="$started $!"
  last=$!
  until eval "$ready" >/dev/null 2>&1; do
    tries=$((tries + 1))
    if [ "$tries" -ge 2400 ] || ! kill -0 "$last" 2>/dev/null; then
      echo "Wayland session: $name did not start" >&2
      cat "$dir/$name.log" >&2
      exit 1
    fi
    sleep 0.05
  done
}

owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q true
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
elif [ "$compositor" = kwin ]; then
  # The installed binary carries a file capability that an unprivileged exec may be refused; a
  # plain copy runs, and KWin accepts it while its name stays kwin_wayland. Its seat has a keyboard.
  mkdir "$dir/bin"
  cp "$(command -v kwin_wayland)" "$dir/bin/kwin_wayland"
  printf '#!/bin/sh\nenv > %s/kwin.env.part && mv %s/kwin.env.part %s/kwin.env\nexec sleep 86400\n' \
    "$dir" "$dir" "$dir" >"$dir/session.sh"
  chmod 755 "$dir/session.sh"
  export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE
  start kwin '[ -s "$dir/kwin.env" ]' env KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 "$dir/bin/kwin_wayland" --virtual \
    --width 1280 --height 800 --xwayland --socket quillo-test-0 --no-lockscreen -- "$dir/session.sh"
  # A full KDE session is the clients' to see: KWin 6 itself crashes at start in one.
  export WAYLAND_DISPLAY=quillo-test-0 QUILLO_TEST_COMPOSITOR_LOG="$dir/kwin.log" KDE_FULL_SESSION=true \
    KDE_SESSION_VERSION="$("$dir/bin/kwin_wayland" --version 2>/dev/null | tr -dc '0-9.' | cut -d. -f1)"
  for name in DISPLAY XAUTHORITY; do
    value=$(sed -n "s/^$name=//p" "$dir/kwin.env")
    [ -z "$value" ] || export "$name=$value"
  done
else
  export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
  # GNOME Shell with the tests' extension (tests/support/gnome-shell), its settings in a file.
  if [ "$compositor" = gnome-shell ]; then
    # Shell 45 made extensions modules: that build has an extension.js of its own, and the shared
    # test_shell.js exports what it imports.
    helper=gnome-shell module_export=""
    if [ "$(gnome-shell --version | tr -dc '0-9.' | cut -d. -f1)" -ge 45 ]; then
      helper=gnome-shell-45 module_export="export {startTestShell};"
    fi
    test_extension="$HOME/.local/share/gnome-shell/extensions/quillo-test@quillo.org"
    mkdir -p "$(dirname "$test_extension")"
    cp -r "$(dirname "$0")/$helper/quillo-test@quillo.org" "$test_extension"
    { cat "$(dirname "$0")/gnome-shell/test_shell.js"; echo "$module_export"; } >"$test_extension/test_shell.js"
    enabled="'quillo-test@quillo.org'"
    # Quillo's own extensions too where asked (QUILLO_SHELL_EXTENSIONS: the folder of their
    # builds); the Shell runs the build made for its version and leaves the other.
    if [ -n "${QUILLO_SHELL_EXTENSIONS:-}" ]; then
      for extension in "$QUILLO_SHELL_EXTENSIONS"/*@*; do
        cp -r "$extension" "$HOME/.local/share/gnome-shell/extensions/"
        enabled="$enabled, '$(basename "$extension")'"
      done
    fi
    GSETTINGS_BACKEND=keyfile gsettings set org.gnome.shell enabled-extensions "[$enabled]"
  fi
  # Two screens side by side: panels must open on the one with the pointer.
  start "$compositor" '[ -S "$dir/runtime/quillo-test-0" ] && pgrep -P "$last" Xwayland' \
    env GSETTINGS_BACKEND=keyfile "$compositor" --headless --wayland --wayland-display=quillo-test-0 \
    --virtual-monitor 1280x800 --virtual-monitor 1280x800
  export WAYLAND_DISPLAY=quillo-test-0
  # Xwayland's display is the one on its command line; its cookie is in the runtime directory.
  export DISPLAY="$(pgrep -P "$last" -a Xwayland | grep -o ' :[0-9]*' | head -n 1 | tr -d ' ')"
  export XAUTHORITY="$(ls "$dir"/runtime/.mutter-Xwaylandauth.* | head -n 1)"
  start keyboard '[ -s "$dir/keyboard.ready" ]' python3 "$(dirname "$0")/mutter-keyboard.py" "$dir/keyboard.ready"
  if [ "$compositor" = gnome-shell ]; then
    tries=0
    until owned org.quillo.TestShell; do
      tries=$((tries + 1))
      [ "$tries" -lt 2400 ] || { echo "Wayland session: the tests' GNOME Shell extension did not start" >&2; cat "$dir/gnome-shell.log" >&2; exit 1; }
      sleep 0.05
    done
  fi
fi
# Toolkits look for the accessibility bus when they start, so clients must wait for it. Its
# switch is kept in memory: no settings service is started for it on this bus.
start accessibility-bus 'owned org.a11y.Bus' env GSETTINGS_BACKEND=memory /usr/libexec/at-spi-bus-launcher --launch-immediately
# The frontend finds its backends when it starts: they come first, each once its name is owned.
if [ -n "${QUILLO_GNOME_PORTALS:-}" ]; then
  start permission-store 'owned org.freedesktop.impl.portal.PermissionStore' /usr/libexec/xdg-permission-store
  start portal-gnome 'owned org.freedesktop.impl.portal.desktop.gnome' \
    env GSETTINGS_BACKEND=keyfile /usr/libexec/xdg-desktop-portal-gnome
  start shortcuts-provider 'owned org.gnome.Settings.GlobalShortcutsProvider' \
    env GSETTINGS_BACKEND=keyfile /usr/libexec/gnome-control-center-global-shortcuts-provider
  start portal 'owned org.freedesktop.portal.Desktop' /usr/libexec/xdg-desktop-portal
fi

status=0
"$@" || status=$?
exit "$status"
