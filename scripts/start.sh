#!/bin/sh
# Installs what is missing, builds, and starts Quillo in the desktop session it is run from.
# Without a desktop session (over ssh, in a container) it builds and says why it did not start.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh

if [ -z "${DISPLAY:-}" ]; then
  echo "Quillo is built (build/bin/quillo) but not started: there is no desktop session here" \
       "(DISPLAY is not set). Run ./scripts/start.sh, or build/bin/quillo, from a terminal of your" \
       "desktop." >&2
  exit 0
fi
if [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Wayland session: global shortcuts may not reach Quillo here; bind \"$PWD/build/bin/quillo --trigger\"" \
       "to a shortcut of your desktop (see README.md)."
fi
# In a session of its own, so closing this terminal leaves Quillo running. A Quillo already
# running makes this one open its settings window and exit 0.
log=build/quillo-start.log
setsid -w ./build/bin/quillo >"$log" 2>&1 </dev/null &
quillo=$!
sleep 2
if kill -0 "$quillo" 2>/dev/null; then
  echo "Quillo is running: its pouch icon is in the tray and Alt+Super+E looks up the selection;" \
       "build/bin/quillo --quit stops it. Its messages go to $log."
  exit 0
fi
status=0
wait "$quillo" || status=$?
if [ "$status" -eq 0 ]; then
  echo "Quillo was already running: its settings window is open."
else
  echo "Quillo did not start (exit status $status):" >&2
  cat "$log" >&2
  exit 1
fi
