// The tests' helper for GNOME Shell 43 and 44 (legacy imports); the work is in ../test_shell.js,
// which in-wayland.sh copies beside this file.
const {Clutter, Gio, GLib} = imports.gi;
const Main = imports.ui.main;
const Me = imports.misc.extensionUtils.getCurrentExtension();

class Extension {
    enable() {
        this._stop = Me.imports.test_shell.startTestShell({Clutter, Gio, GLib}, Main);
    }

    disable() {
        this._stop();
    }
}

function init() {
    return new Extension();
}
