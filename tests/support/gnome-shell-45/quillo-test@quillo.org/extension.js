// The tests' helper for GNOME Shell 45 and later, whose extensions are modules; the work is in
// ../../gnome-shell/test_shell.js, which in-wayland.sh copies beside this file with its export.
import Clutter from 'gi://Clutter';
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';

import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';

import {startTestShell} from './test_shell.js';

export default class QuilloTestExtension extends Extension {
    enable() {
        this._stop = startTestShell({Clutter, Gio, GLib}, Main);
    }

    disable() {
        this._stop();
    }
}
