// Quillo's GNOME Shell helper for Shell 43 and 44 (legacy imports); the work is in helper.js.
const {Gio, GLib, Meta, Shell, St} = imports.gi;
const Main = imports.ui.main;
const ExtensionUtils = imports.misc.extensionUtils;
const Me = ExtensionUtils.getCurrentExtension();

class QuilloExtension {
    enable() {
        this._helper = new Me.imports.helper.QuilloShellHelper({Gio, GLib, Meta, Shell, St}, Main,
            ExtensionUtils.getSettings());
        this._helper.start();
    }

    disable() {
        this._helper.stop();
        this._helper = null;
    }
}

function init() {
    return new QuilloExtension();
}
