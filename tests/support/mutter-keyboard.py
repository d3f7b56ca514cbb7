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
manager = dbus.Interface(bus.get_object(service, "/org/gnome/Mutter/RemoteDesktop"), service)
session = dbus.Interface(bus.get_object(service, manager.CreateSession()), service + ".Session")
session.Start()
shift = dbus.UInt32(0xFFE1)
session.NotifyKeyboardKeysym(shift, True)
session.NotifyKeyboardKeysym(shift, False)
with open(sys.argv[1], "w") as ready:
    ready.write("ready\n")
while True:
    time.sleep(3600)
