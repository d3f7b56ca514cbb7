#!/usr/bin/python3
# Gives a headless mutter's seat a keyboard, through its remote-desktop interface, for as long as
# this runs: the session ends when its creator leaves the bus. The keyboard exists only after a
# first key, so Shift is tapped once; then the file named by the argument is written.
import sys
import time

import dbus

bus = dbus.SessionBus()
service = "org.gnome.Mutter.RemoteDesktop"
for _ in range(600):
    if bus.name_has_owner(service):
        break
    time.sleep(0.05)
# A Shell still starting on a busy machine answers late: dbus-python gives up after 25 s.
wait = 120
manager = dbus.Interface(bus.get_object(service, "/org/gnome/Mutter/RemoteDesktop"), service)
session = dbus.Interface(bus.get_object(service, manager.CreateSession(timeout=wait)), service + ".Session")
session.Start(timeout=wait)
shift = dbus.UInt32(0xFFE1)
session.NotifyKeyboardKeysym(shift, True, timeout=wait)
session.NotifyKeyboardKeysym(shift, False, timeout=wait)
with open(sys.argv[1], "w") as ready:
    ready.write("ready\n")
while True:
    time.sleep(3600)
