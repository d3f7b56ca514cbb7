"""A small GTK 3 window holding one kind of interface text; prints the screen rectangle of that
text's widget (x y width height) once it is drawn, then stays until killed."""
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

kind, font = sys.argv[1], sys.argv[2]
css = Gtk.CssProvider()
css.load_from_data(
    f"* {{ font: {font}; }} .dark {{ background: #2b2b2b; color: #e8e8e8; padding: 10px; }}".encode()
)
Gtk.StyleContext.add_provider_for_screen(
    __import__("gi.repository.Gdk", fromlist=["Gdk"]).Screen.get_default(), css, 800
)

window = Gtk.Window(title="widgets")
box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=8)
window.add(box)
if kind == "menubar":
    target = Gtk.MenuBar()
    for label in ["文件", "编辑", "View", "Tools", "帮助"]:
        target.append(Gtk.MenuItem(label=label))
    box.pack_start(target, False, False, 0)
    box.pack_start(Gtk.Label(label=""), True, True, 40)
elif kind == "buttons":
    target = Gtk.Box(spacing=24)
    target.set_border_width(6)
    for label in ["取消", "应用", "Save As", "Export PDF"]:
        target.pack_start(Gtk.Button(label=label), False, False, 0)
    box.pack_start(target, False, False, 0)
elif kind == "form":
    target = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=4)
    target.set_border_width(8)
    for label in ["启动时检查更新", "Show the tray icon", "使用 Ctrl+Alt+S 截图取字"]:
        target.pack_start(Gtk.CheckButton(label=label), False, False, 0)
    box.pack_start(target, False, False, 0)
elif kind == "panel":
    # a light block above a dark one, as a window with a dark side panel shows them
    target = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
    light = Gtk.Label(label="最近打开的文件", xalign=0)
    light.set_margin_start(10)
    light.set_margin_top(6)
    light.set_margin_bottom(6)
    dark = Gtk.Label(label="Recent projects\n项目计划 2024.md", xalign=0)
    dark.get_style_context().add_class("dark")
    target.pack_start(light, False, False, 0)
    target.pack_start(dark, False, False, 0)
    box.pack_start(target, False, False, 0)
else:
    sys.exit(f"unknown kind {kind}")


def report():
    _, x, y = window.get_window().get_origin()
    allocation = target.get_allocation()
    print(x + allocation.x, y + allocation.y, allocation.width, allocation.height, flush=True)
    return False


window.connect("destroy", Gtk.main_quit)
window.show_all()
GLib.timeout_add(300, report)
Gtk.main()
