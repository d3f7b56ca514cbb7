// Quillo's GNOME Shell helper for Shell 45 and later (ES modules); the work is in helper.js.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';
import St from 'gi://St';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

import {QuilloShellHelper} from './helper.js';

export default class QuilloExtension extends Extension {
    enable() {
        this._helper = new QuilloShellHelper({Gio, GLib, Meta, Shell, St}, Main, this.getSettings());
        this._helper.start();
    }

    disable() {
        this._helper.stop();
        this._helper = null;
    }
}
