// What Quillo's GNOME Shell helper does, shared by the build for Shell 45 and later (ES modules)
// and the one for Shell 43 and 44 (legacy imports). It imports nothing itself: each build's
// extension.js hands it the modules, and the build adds the export its module system needs.
// A Wayland client cannot read the pointer, the primary selection without focus, or place its
// own windows; the Shell can, and answers on the session bus:
//   GetPointer                      the pointer on the desktop
//   GetPrimary                      the text of the primary selection
//   PlaceWindow(pid, title, x, y, margin)
//                                   a window of that process whose title starts so, its corner
//                                   to (x, y), `margin` px inside the work area of the pointer's
//                                   monitor, above the others; waits for it to be mapped
//   BindShortcut(name, accel)       the accelerator of one of the two shortcuts below
// The two shortcuts call Quillo's own Trigger and TriggerOcr on the session bus.

var HELPER_INTERFACE = `<node><interface name="org.quillo.Shell1">
  <method name="GetPointer"><arg type="i" name="x" direction="out"/><arg type="i" name="y" direction="out"/></method>
  <method name="GetPrimary"><arg type="s" name="text" direction="out"/></method>
  <method name="PlaceWindow">
    <arg type="u" name="pid" direction="in"/><arg type="s" name="title" direction="in"/>
    <arg type="i" name="x" direction="in"/><arg type="i" name="y" direction="in"/>
    <arg type="u" name="margin" direction="in"/><arg type="b" name="placed" direction="out"/>
    <arg type="i" name="placedX" direction="out"/><arg type="i" name="placedY" direction="out"/>
  </method>
  <method name="BindShortcut">
    <arg type="s" name="name" direction="in"/><arg type="s" name="accelerator" direction="in"/>
    <arg type="b" name="known" direction="out"/>
  </method>
</interface></node>`;

// Shortcut key in the settings → Quillo's method.
var HELPER_SHORTCUTS = {'trigger': 'Trigger', 'trigger-ocr': 'TriggerOcr'};

// A window that has not appeared this long after it was asked for is not coming.
var HELPER_WINDOW_WAIT_MS = 3000;

var QuilloShellHelper = class {
    // gi: {Gio, GLib, Meta, Shell, St}; main: the Shell's ui/main module.
    constructor(gi, main, settings) {
        this._gi = gi;
        this._main = main;
        this._settings = settings;
        this._waits = new Set();
    }

    start() {
        const {Gio, Meta, Shell} = this._gi;
        this._object = Gio.DBusExportedObject.wrapJSObject(HELPER_INTERFACE, this);
        this._object.export(Gio.DBus.session, '/org/quillo/Shell');
        this._name = Gio.bus_own_name(Gio.BusType.SESSION, 'org.quillo.Shell', Gio.BusNameOwnerFlags.NONE,
            null, null, null);
        for (const [key, method] of Object.entries(HELPER_SHORTCUTS)) {
            this._main.wm.addKeybinding(key, this._settings, Meta.KeyBindingFlags.IGNORE_AUTOREPEAT,
                Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW, () => this._callQuillo(method));
        }
    }

    stop() {
        for (const key of Object.keys(HELPER_SHORTCUTS))
            this._main.wm.removeKeybinding(key);
        for (const wait of this._waits)
            wait.finish(null);
        this._gi.Gio.bus_unown_name(this._name);
        this._object.unexport();
        this._object = null;
        this._settings = null;
    }

    GetPointer() {
        const [x, y] = global.get_pointer();
        return [x, y];
    }

    GetPrimaryAsync(parameters, invocation) {
        const {GLib, St} = this._gi;
        St.Clipboard.get_default().get_text(St.ClipboardType.PRIMARY,
            (clipboard, text) => invocation.return_value(new GLib.Variant('(s)', [text || ''])));
    }

    PlaceWindowAsync([pid, title, x, y, margin], invocation) {
        const {GLib} = this._gi;
        const answer = window => {
            let placed = [false, 0, 0];
            if (window) {
                const to = this._placed(window, x, y, margin);
                placed = [true, to.x, to.y];
            }
            invocation.return_value(new GLib.Variant('(bii)', placed));
        };
        const matches = window => window.get_pid() === pid && (window.get_title() || '').startsWith(title);
        const known = global.get_window_actors().filter(actor => matches(actor.get_meta_window()));
        const shown = known.find(actor => actor.visible);
        if (shown)
            answer(shown.get_meta_window());
        else
            this._waitForWindow(pid, matches, known, answer);
    }

    BindShortcut(name, accelerator) {
        if (!(name in HELPER_SHORTCUTS))
            return false;
        this._settings.set_strv(name, accelerator ? [accelerator] : []);
        return true;
    }

    _callQuillo(method) {
        const {Gio} = this._gi;
        Gio.DBus.session.call('org.quillo.Quillo', '/org/quillo/Quillo', 'org.quillo.Quillo', method, null, null,
            Gio.DBusCallFlags.NO_AUTO_START, 5000, null, (connection, result) => {
                try {
                    connection.call_finish(result);
                } catch (e) {
                    console.warn(`Quillo helper: ${method} did not reach Quillo: ${e.message}`);
                }
            });
    }

    // The window's corner to (x, y), kept inside the work area of the monitor the pointer is on.
    _placed(window, x, y, margin) {
        const frame = window.get_frame_rect();
        const area = global.workspace_manager.get_active_workspace()
            .get_work_area_for_monitor(global.display.get_current_monitor());
        const clamp = (value, low, high) => Math.max(low, Math.min(value, high));
        const to = {
            x: clamp(x, area.x + margin, area.x + area.width - frame.width - margin),
            y: clamp(y, area.y + margin, area.y + area.height - frame.height - margin),
        };
        window.move_frame(true, to.x, to.y);
        window.make_above();
        return to;
    }

    // Answers once a matching window (one known already, or one made later) shows its first frame:
    // the Shell has placed it by then and would undo an earlier move. A new window's title may
    // come after the window itself, so it is looked at then. Null when none came in time.
    _waitForWindow(pid, matches, known, answer) {
        const {GLib} = this._gi;
        const wait = {created: 0, timeout: 0, followed: new Map()};
        const follow = window => {
            const actor = window.get_compositor_private();
            if (!actor || wait.followed.has(actor))
                return;
            wait.followed.set(actor, actor.connect('first-frame', () => {
                if (matches(window))
                    wait.finish(window);
            }));
        };
        wait.finish = window => {
            if (!this._waits.delete(wait))
                return;
            global.display.disconnect(wait.created);
            if (wait.timeout)
                GLib.source_remove(wait.timeout);
            for (const [actor, id] of wait.followed)
                actor.disconnect(id);
            answer(window);
        };
        this._waits.add(wait);
        wait.created = global.display.connect('window-created', (display, window) => {
            if (window.get_pid() !== pid)
                return;
            // The window's actor may be made just after it.
            if (window.get_compositor_private())
                follow(window);
            else
                GLib.idle_add(GLib.PRIORITY_DEFAULT, () => {
                    if (this._waits.has(wait))
                        follow(window);
                    return GLib.SOURCE_REMOVE;
                });
        });
        for (const actor of known)
            follow(actor.get_meta_window());
        wait.timeout = GLib.timeout_add(GLib.PRIORITY_DEFAULT, HELPER_WINDOW_WAIT_MS, () => {
            wait.timeout = 0;
            wait.finish(null);
            return GLib.SOURCE_REMOVE;
        });
    }
};
