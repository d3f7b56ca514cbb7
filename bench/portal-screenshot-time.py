#!/usr/bin/env python3
"""The Screenshot portal's own time, without its dialog: from the call to its Response, 20 times
after a first, with the user's Allow already in the permission store. What Quillo adds (reading
the picture, showing the overlays) is bench/WaylandOCRBench's. Run in a session with the desktop's
real portal, e.g. in the Debian 13 tree:
    QUILLO_GNOME_PORTALS=1 tests/support/in-wayland.sh gnome-shell bench/portal-screenshot-time.py
It writes a desktop entry for Quillo's application id into the session's home, as the portal
knows a program by it."""
import os
import time

import dbus
import dbus.mainloop.glib
from gi.repository import GLib

ROUNDS = 20
APP_ID = "org.quillo.Quillo"

dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
applications = os.path.expanduser("~/.local/share/applications")
os.makedirs(applications, exist_ok=True)
with open(os.path.join(applications, APP_ID + ".desktop"), "w") as entry:
    entry.write("[Desktop Entry]\nType=Application\nName=Quillo\nExec=/usr/bin/python3\n")

bus = dbus.SessionBus()
try:
    bus.call_blocking("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                      "org.freedesktop.host.portal.Registry", "Register", "sa{sv}", [APP_ID, {}])
except dbus.DBusException:
    pass  # a portal from before 1.19.4 knows no registration
store = bus.get_object("org.freedesktop.impl.portal.PermissionStore", "/org/freedesktop/impl/portal/PermissionStore")
store.SetPermission("screenshot", True, "screenshot", APP_ID, ["yes"],
                    dbus_interface="org.freedesktop.impl.portal.PermissionStore")
portal = bus.get_object("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop")
sender = bus.get_unique_name()[1:].replace(".", "_")
loop = GLib.MainLoop()


def screenshot(token):
    """Milliseconds from the call to a granted Response; None for any other answer or none in 10 s."""
    answer = {}

    def response(code, _results):
        answer["code"], answer["at"] = int(code), time.monotonic()
        loop.quit()

    path = "/org/freedesktop/portal/desktop/request/%s/%s" % (sender, token)
    match = bus.add_signal_receiver(response, "Response", "org.freedesktop.portal.Request", path=path)
    timeout = GLib.timeout_add(10000, loop.quit)
    start = time.monotonic()
    portal.Screenshot("wayland:", {"handle_token": token, "interactive": False, "modal": True},
                      dbus_interface="org.freedesktop.portal.Screenshot")
    loop.run()
    if "at" not in answer:
        return None
    GLib.source_remove(timeout)
    match.remove()
    return (answer["at"] - start) * 1000 if answer["code"] == 0 else None


screenshot("first")
times = sorted(t for t in (screenshot("t%d" % i) for i in range(ROUNDS)) if t is not None)
if len(times) < ROUNDS:
    raise SystemExit("%d of %d screenshots were not granted" % (ROUNDS - len(times), ROUNDS))
print("median %.0f ms, 90th percentile %.0f ms, slowest %.0f ms" % (times[ROUNDS // 2], times[ROUNDS * 9 // 10], times[-1]))
