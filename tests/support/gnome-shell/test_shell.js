// What the tests' GNOME Shell extension does (tests/support/in-wayland.sh), shared by its build for
// Shell 43 and 44 (gnome-shell/, legacy imports) and for 45 and later (gnome-shell-45/, modules):
// what no Wayland client may see or do by itself. The windows with their places, the pointer
// moved and a key tapped through virtual devices of the seat. It imports nothing itself: each
// extension.js hands it the modules, and in-wayland.sh adds the export the module build needs.

var TEST_SHELL_INTERFACE = `<node><interface name="org.quillo.TestShell">
  <method name="Windows"><arg type="s" direction="out"/></method>
  <method name="MovePointer"><arg type="d" direction="in"/><arg type="d" direction="in"/></method>
  <method name="TapKey"><arg type="u" name="keyval" direction="in"/></method>
</interface></node>`;

var TestShell = class {
    constructor({Clutter, GLib}) {
        this._Clutter = Clutter;
        this._GLib = GLib;
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
        this._pointer.notify_absolute_motion(this._GLib.get_monotonic_time(), x, y);
    }

    TapKey(keyval) {
        const {KeyState} = this._Clutter;
        this._keyboard.notify_keyval(this._GLib.get_monotonic_time(), keyval, KeyState.PRESSED);
        this._keyboard.notify_keyval(this._GLib.get_monotonic_time(), keyval, KeyState.RELEASED);
    }
};

// Exports the interface and takes its bus name once the overview, open after start, has closed:
// from then on windows take the focus. Returns what undoes it.
var startTestShell = function(modules, Main) {
    const {Gio} = modules;
    const object = Gio.DBusExportedObject.wrapJSObject(TEST_SHELL_INTERFACE, new TestShell(modules));
    object.export(Gio.DBus.session, '/org/quillo/TestShell');
    let owner = 0;
    const own = () => {
        owner = Gio.bus_own_name(Gio.BusType.SESSION, 'org.quillo.TestShell', Gio.BusNameOwnerFlags.NONE,
            null, null, null);
    };
    const closeOverview = () => {
        if (!Main.overview.visible) {
            own();
            return;
        }
        const hidden = Main.overview.connect('hidden', () => {
            Main.overview.disconnect(hidden);
            own();
        });
        Main.overview.hide();
    };
    if (Main.layoutManager._startingUp)
        Main.layoutManager.connect('startup-complete', closeOverview);
    else
        closeOverview();
    return () => {
        if (owner)
            Gio.bus_unown_name(owner);
        object.unexport();
    };
};
