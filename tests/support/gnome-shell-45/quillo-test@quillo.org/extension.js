// The tests' helper of ../../gnome-shell for GNOME Shell 45 and later, whose extensions are
// modules: the same interface, taken on the bus once the overview, open after start, has closed.
import Clutter from 'gi://Clutter';
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';

import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';

const IFACE = `<node><interface name="org.quillo.TestShell">
  <method name="Windows"><arg type="s" direction="out"/></method>
  <method name="MovePointer"><arg type="d" direction="in"/><arg type="d" direction="in"/></method>
  <method name="TapKey"><arg type="u" name="keyval" direction="in"/></method>
</interface></node>`;

class TestShell {
    constructor() {
        const seat = Clutter.get_default_backend().get_default_seat();
        this._pointer = seat.create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
        this._keyboard = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
    }

    Windows() {
        return JSON.stringify(global.get_window_actors().map(actor => {
            const w = actor.get_meta_window(), r = w.get_frame_rect();
            return {pid: w.get_pid(), title: w.get_title(), x: r.x, y: r.y, width: r.width, height: r.height};
        }));
    }

    MovePointer(x, y) {
        this._pointer.notify_absolute_motion(GLib.get_monotonic_time(), x, y);
    }

    TapKey(keyval) {
        this._keyboard.notify_keyval(GLib.get_monotonic_time(), keyval, Clutter.KeyState.PRESSED);
        this._keyboard.notify_keyval(GLib.get_monotonic_time(), keyval, Clutter.KeyState.RELEASED);
    }
}

export default class QuilloTestExtension extends Extension {
    enable() {
        this._object = Gio.DBusExportedObject.wrapJSObject(IFACE, new TestShell());
        this._object.export(Gio.DBus.session, '/org/quillo/TestShell');
        const own = () => {
            this._owner = Gio.bus_own_name(Gio.BusType.SESSION, 'org.quillo.TestShell', Gio.BusNameOwnerFlags.NONE,
                null, null, null);
        };
        const closeOverview = () => {
            if (!Main.overview.visible) {
                own();
                return;
            }
            this._hidden = Main.overview.connect('hidden', () => {
                Main.overview.disconnect(this._hidden);
                own();
            });
            Main.overview.hide();
        };
        if (Main.layoutManager._startingUp)
            this._started = Main.layoutManager.connect('startup-complete', closeOverview);
        else
            closeOverview();
    }

    disable() {
        if (this._owner)
            Gio.bus_unown_name(this._owner);
        this._object.unexport();
        this._object = null;
    }
}
