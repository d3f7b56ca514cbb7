#!/usr/bin/python3
"""A desktop portal on the session bus that speaks GlobalShortcuts (version 1) as
xdg-desktop-portal does: requests answered by a Response signal on the request object, a little
after the method's reply. Every call is appended to LOG, one line each. The test hook
org.quillo.TestHook.Press(id) activates a bound shortcut.
Screenshot (version 2) answers with the file given by --screenshot PNG, or refuses (Response 2)
without it, as GNOME does for a caller it has not asked.
It also speaks RemoteDesktop (version 2, keyboard only): a grant is persisted when asked (mode 2)
and given a new restore token each time; the keysyms typed are logged.
Usage: fake_portal.py LOG [--deny-bind] [--refuse-session] [--no-globalshortcuts] [--registry] [--screenshot PNG]
                          [--deny-remote]
  --refuse-session: the interface is listed, CreateSession answers 2 (what a GNOME session with
  another desktop's portal backend does); --registry: also the host Registry, whose Register
  must be the caller's first call; --deny-remote: the user refuses RemoteDesktop's Start."""
import sys
import dbus
import dbus.service
import dbus.mainloop.glib
from gi.repository import GLib

dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
args = sys.argv[1:]
LOG = open(args[0], "a", buffering=1)
DENY_BIND = "--deny-bind" in args
REFUSE = "--refuse-session" in args
NO_GS = "--no-globalshortcuts" in args
REGISTRY = "--registry" in args
PNG = args[args.index("--screenshot") + 1] if "--screenshot" in args else ""
DENY_RD = "--deny-remote" in args
RD = "org.freedesktop.portal.RemoteDesktop"
P = "org.freedesktop.portal"
GS = P + ".GlobalShortcuts"
REG = "org.freedesktop.host.portal.Registry"
bus = dbus.SessionBus()
seen = set()


def log(line):
    LOG.write(line + "\n")


def request_path(sender, token):
    return "/org/freedesktop/portal/desktop/request/%s/%s" % (sender[1:].replace(".", "_"), token)


def respond(path, code, results):
    def send():
        m = dbus.lowlevel.SignalMessage(path, P + ".Request", "Response")
        m.append(dbus.UInt32(code), dbus.Dictionary(results, signature="sv"), signature="ua{sv}")
        bus.send_message(m)
        return False
    GLib.timeout_add(30, send)


def first_call(sender, what):
    if sender not in seen:
        seen.add(sender)
        log("first call %s" % what)


class RemoteDesktop(dbus.service.Object):
    """Mixed into the portal object: dbus-python finds a method by its name and interface."""
    grants = 0
    persist = 0

    @dbus.service.method(RD, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        path = request_path(sender, options["handle_token"])
        session = "/org/freedesktop/portal/desktop/session/%s/%s" % (sender[1:].replace(".", "_"), options["session_handle_token"])
        log("RemoteDesktop.CreateSession")
        respond(path, 0, {"session_handle": dbus.String(session)})
        return path

    @dbus.service.method(RD, in_signature="oa{sv}", out_signature="o", sender_keyword="sender")
    def SelectDevices(self, session, options, sender=None):
        path = request_path(sender, options["handle_token"])
        self.persist = int(options.get("persist_mode", 0))
        log("RemoteDesktop.SelectDevices types=%d persist=%d restore=%s" % (
            int(options.get("types", 0)), self.persist, str(options.get("restore_token", ""))))
        respond(path, 0, {})
        return path

    @dbus.service.method(RD, in_signature="osa{sv}", out_signature="o", sender_keyword="sender")
    def Start(self, session, parent, options, sender=None):
        path = request_path(sender, options["handle_token"])
        log("RemoteDesktop.Start")
        if DENY_RD:
            respond(path, 1, {})
            return path
        results = {"devices": dbus.UInt32(1)}
        if self.persist:
            self.grants += 1
            results["restore_token"] = dbus.String("fake-restore-token-%d" % self.grants)
        respond(path, 0, results)
        return path

    @dbus.service.method(RD, in_signature="oa{sv}iu")
    def NotifyKeyboardKeysym(self, session, options, keysym, state):
        log("RemoteDesktop.Keysym 0x%x %s" % (keysym, "down" if state else "up"))

    @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface == RD and name == "version":
            return dbus.UInt32(2)
        raise dbus.exceptions.DBusException("No such property", name="org.freedesktop.DBus.Error.InvalidArgs")


class Portal(RemoteDesktop):
    def __init__(self):
        super().__init__(bus, "/org/freedesktop/portal/desktop")
        self.bound = {}

    def _gs(self, sender, what):
        first_call(sender, what)
        if NO_GS:
            raise dbus.exceptions.DBusException("No such interface", name="org.freedesktop.DBus.Error.UnknownMethod")

    @dbus.service.method(REG, in_signature="sa{sv}", sender_keyword="sender")
    def Register(self, app_id, options, sender=None):
        if not REGISTRY:
            raise dbus.exceptions.DBusException("No such interface", name="org.freedesktop.DBus.Error.UnknownMethod")
        if sender in seen:
            raise dbus.exceptions.DBusException("Register must come first", name="org.freedesktop.portal.Error.Failed")
        first_call(sender, "Register")
        log("Registry.Register %s" % app_id)

    @dbus.service.method(GS, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        self._gs(sender, "CreateSession")
        path = request_path(sender, options["handle_token"])
        session = "/org/freedesktop/portal/desktop/session/%s/%s" % (sender[1:].replace(".", "_"), options["session_handle_token"])
        log("GlobalShortcuts.CreateSession")
        if REFUSE:
            respond(path, 2, {})
        else:
            self.bound.setdefault(session, None)
            respond(path, 0, {"session_handle": dbus.String(session)})
        return path

    @dbus.service.method(GS, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent, options, sender=None):
        self._gs(sender, "BindShortcuts")
        path = request_path(sender, options["handle_token"])
        log("GlobalShortcuts.BindShortcuts " + " ".join("%s=%s" % (s[0], s[1].get("preferred_trigger", "")) for s in shortcuts))
        if DENY_BIND or str(session) not in self.bound:
            respond(path, 1 if DENY_BIND else 2, {})
            return path
        bound = [dbus.Struct((s[0], {"description": s[1].get("description", ""),
                                     "trigger_description": s[1].get("preferred_trigger", "")}), signature="sa{sv}")
                 for s in shortcuts]
        self.bound[str(session)] = bound
        respond(path, 0, {"shortcuts": dbus.Array(bound, signature="(sa{sv})")})
        return path

    @dbus.service.method(P + ".Screenshot", in_signature="sa{sv}", out_signature="o", sender_keyword="sender")
    def Screenshot(self, parent, options, sender=None):
        first_call(sender, "Screenshot")
        path = request_path(sender, options["handle_token"])
        log("Screenshot parent=%s interactive=%s" % (parent, bool(options.get("interactive", False))))
        if PNG:
            respond(path, 0, {"uri": dbus.String("file://" + PNG)})
        else:
            respond(path, 2, {})
        return path

    @dbus.service.signal(GS, signature="osta{sv}")
    def Activated(self, session, sid, ts, opts):
        pass

    @dbus.service.signal(GS, signature="osta{sv}")
    def Deactivated(self, session, sid, ts, opts):
        pass


portal = Portal()


class Hook(dbus.service.Object):
    @dbus.service.method("org.quillo.TestHook", in_signature="s")
    def Press(self, sid):
        now = dbus.UInt64(GLib.get_monotonic_time() // 1000)
        for session, bound in portal.bound.items():
            if bound:
                portal.Activated(dbus.ObjectPath(session), sid, now, {})
                portal.Deactivated(dbus.ObjectPath(session), sid, now, {})
        log("hook Press %s" % sid)


hook = Hook(bus, "/org/quillo/TestHook")
name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus, do_not_queue=True)
log("fake portal up")
GLib.MainLoop().run()
