"""Puts each case's text on screen in a real application, crops it from a screenshot and writes
NAME.png and NAME.txt (the known text) into the output directory. Run inside a private desktop:
    tests/support/in-desktop.sh /usr/bin/python3 bench/ocr-fixtures/make.py tests/fixtures/ocr
The crop of an editor or terminal is the box where the screen with the text differs from the same
window showing an empty file, padded by 6 px; a widget's crop is its allocation."""
import os
import pathlib
import subprocess
import sys
import time

OUT = pathlib.Path(sys.argv[1])
ONLY = sys.argv[2:]
HOME = pathlib.Path(os.environ["HOME"])
HERE = pathlib.Path(__file__).resolve().parent
SANS, MONO = "Noto Sans CJK SC", "Noto Sans Mono CJK SC"

ZH = ["量子计算利用叠加态并行处理信息，", "编辑器中的选中文字会被高亮显示。", "屏幕取字把图片里的文字读出来。"]
ZH2 = ["知识库会记住你查过的每一段文字", "翻译、解释和改写三个常用动作", "设置窗口里可以修改快捷键和字号"]
EN = ["The quick brown fox jumps over the lazy dog.", "Pack my box with five dozen liquor jugs, then",
      "sphinx of black quartz, judge my vow."]
MIXED = ["打开 Settings 修改快捷键 Ctrl+Alt+S。", "Quillo 支持 Ollama 和 OpenAI 接口，", "下载 3.2 GB 的模型大约需要 5 分钟。"]
MIXED2 = ["周一 10:30 与 Alice 讨论 API 设计", "文件保存在 ~/Documents/报告.txt", "版本 v2.4.1 修复了 12 个问题"]
CODE = ["def read(path):", "    with open(path) as f:", "        data = f.read()", "    return data[0:16]"]
TERM = ["$ ls -l /dev/sda1 /tmp", "total 24", "drwxr-xr-x 2 root root 4096 Dec  7 run", "-rw-r--r-- 1 root root  512 notes.txt",
        "$ echo done", "done"]
TERM_ZH = ["$ cat 说明.txt", "编译完成，共 3 个警告。", "输出文件：build/app-v1.2", "$ sha1sum a1b2c3d"]

# name, application, font, pixel size, lines, selected line (or None)
EDITORS = [
    ("mousepad-zh-mono-12", "mousepad", MONO, 12, ZH, None),
    ("mousepad-zh-16", "mousepad", SANS, 16, ZH, None),
    ("mousepad-zh-20", "mousepad", SANS, 20, ZH2, None),
    ("mousepad-en-mono-12", "mousepad", MONO, 12, EN, None),
    ("mousepad-en-16", "mousepad", SANS, 16, EN, None),
    ("mousepad-mixed-14", "mousepad", SANS, 14, MIXED, None),
    ("mousepad-mixed-16-selected", "mousepad", SANS, 16, MIXED, 1),
    ("mousepad-mixed-mono-18", "mousepad", MONO, 18, MIXED2, None),
    ("mousepad-en-20-selected", "mousepad", SANS, 20, EN, 1),
    ("featherpad-zh-16", "featherpad", SANS, 16, ZH2, None),
    ("featherpad-mixed-12", "featherpad", SANS, 12, MIXED2, None),
    ("featherpad-zh-14-selected", "featherpad", SANS, 14, ZH, 0),
    ("featherpad-en-16-selected", "featherpad", SANS, 16, EN, 1),
    ("gte-en-14", "gnome-text-editor", SANS, 14, EN, None),
    ("gte-zh-16-selected", "gnome-text-editor", SANS, 16, ZH2, 1),
    ("gte-code-mono-14", "gnome-text-editor", MONO, 14, CODE, None),
    ("gte-mixed-mono-12-selected", "gnome-text-editor", MONO, 12, MIXED, 2),
]
TERMINALS = [
    ("xterm-black-en-14", 14, TERM),
    ("xterm-black-mixed-16", 16, TERM_ZH),
    ("xterm-black-zh-12", 12, ZH2),
]
WIDGETS = [
    ("gtk-menubar-14", "menubar", 14, ["文件 编辑 View Tools 帮助"]),
    ("gtk-buttons-14", "buttons", 14, ["取消 应用 Save As Export PDF"]),
    ("gtk-checkboxes-13", "form", 13, ["启动时检查更新", "Show the tray icon", "使用 Ctrl+Alt+S 截图取字"]),
    ("gtk-dark-panel-15", "panel", 15, ["最近打开的文件", "Recent projects", "项目计划 2024.md"]),
]


def run(*args, **kwargs):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kwargs).stdout


def settings():
    env = dict(os.environ, GSETTINGS_BACKEND="keyfile", GSK_RENDERER="cairo")
    gtk = "[Settings]\ngtk-cursor-blink = false\ngtk-overlay-scrolling = false\n"
    for version in ("gtk-3.0", "gtk-4.0"):
        (HOME / ".config" / version).mkdir(parents=True, exist_ok=True)
        (HOME / ".config" / version / "settings.ini").write_text(gtk)
    return env


ENV = settings()


def gset(schema, key, value):
    subprocess.run(["gsettings", "set", schema, key, value], check=True, env=ENV)


def configure(app, font, size):
    font_name = f"{font} {size}px"
    if app == "mousepad":
        gset("org.xfce.mousepad.preferences.view", "use-default-monospace-font", "false")
        gset("org.xfce.mousepad.preferences.view", "font-name", f"'{font_name}'")
        gset("org.xfce.mousepad.preferences.window", "statusbar-visible", "false")
    elif app == "gnome-text-editor":
        for key, value in [("use-system-font", "false"), ("custom-font", f"'{font_name}'"), ("spellcheck", "false"),
                           ("restore-session", "false"), ("highlight-current-line", "false")]:
            gset("org.gnome.TextEditor", key, value)
    elif app == "featherpad":
        conf = HOME / ".config" / "featherpad"
        conf.mkdir(parents=True, exist_ok=True)
        (conf / "fp.conf").write_text(
            f'[text]\nfont="{font},-1,{size},5,50,0,0,0,0,0"\nlineNumbers=false\n'
            "[window]\nshowStatusbar=false\nnoToolbar=true\nsize=@Size(900 500)\n")


def screenshot(path):
    """The root window once two grabs 0.3 s apart agree (the application has finished drawing)."""
    previous = None
    for _ in range(40):
        run("import", "-window", "root", str(path))
        data = path.read_bytes()
        if data == previous:
            return
        previous = data
        time.sleep(0.3)
    raise RuntimeError("the screen did not settle")


def find_window(pid_process, name):
    for _ in range(200):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid_process.pid)],
                               capture_output=True, text=True).stdout.split()
        if not found:
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", name],
                                   capture_output=True, text=True).stdout.split()
            found = [window for window in found if window != globals().get("PARKING")]
        if found:
            return found[-1]
        time.sleep(0.1)
    raise RuntimeError(f"no window from {name}")


# Where the placed window's text can be: its scroll bar and any bar at the bottom left out.
TEXT_AREA = (60, 60, 860, 380)


def place(window):
    """Moves and sizes the window until it stays put: some programs place themselves once shown."""
    previous = None
    for _ in range(20):
        run("xdotool", "windowsize", "--sync", window, "900", "420")
        run("xdotool", "windowmove", "--sync", window, "60", "60")
        time.sleep(0.5)
        geometry = run("xdotool", "getwindowgeometry", window)
        if geometry == previous:
            return
        previous = geometry
    raise RuntimeError("the window does not stay where it is put")


def show(command, name, keys, keep_focus=False):
    """Starts the program, places its window, presses the keys, then gives the focus to the
    parking window so no caret is drawn; returns the process."""
    process = subprocess.Popen(command, env=ENV, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    window = find_window(process, name)
    place(window)
    run("xdotool", "windowactivate", "--sync", window)
    time.sleep(0.5)
    for key in keys:
        run("xdotool", "key", "--clearmodifiers", key)
    if not keep_focus:
        run("xdotool", "windowactivate", "--sync", PARKING)
    return process


def stop(process):
    process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def difference_box(a, b, area, pad=6):
    """The box, within the area (x, y, w, h), where the two screenshots differ, padded."""
    ax, ay, aw, ah = area
    geometry = run("convert", str(a), str(b), "-compose", "difference", "-composite", "-crop", f"{aw}x{ah}+{ax}+{ay}",
                   "+repage", "-colorspace", "gray", "-threshold", "6%", "-format", "%@", "info:")
    size, x, y = geometry.split("+")
    w, h = size.split("x")
    return ax + int(x) - pad, ay + int(y) - pad, int(w) + 2 * pad, int(h) + 2 * pad


def save(name, shot, box, lines):
    x, y, w, h = box
    run("convert", str(shot), "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-strip", "-define", "png:compression-level=9",
        str(OUT / f"{name}.png"))
    (OUT / f"{name}.txt").write_text("\n".join(lines) + "\n")
    print(name, f"{w}x{h}", flush=True)


def selection_keys(line):
    return ["ctrl+Home"] + ["Down"] * line + ["Home", "shift+End"]


def editor_case(name, app, font, size, lines, selected):
    configure(app, font, size)
    # a window that placed itself after all in one of the two shots shows as a box over all of it
    for _ in range(3):
        shots = editor_shots(app, lines, selected)
        box = difference_box(*shots, TEXT_AREA)
        if box[2] < TEXT_AREA[2] - 40 and box[3] < TEXT_AREA[3] - 40:
            save(name, shots[0], box, lines)
            return
    raise RuntimeError(f"{name}: the window moved between the two shots")


def editor_shots(app, lines, selected):
    document = HOME / "note.txt"
    shots = []
    for text, keys in [("\n".join(lines) + "\n", selection_keys(selected) if selected is not None else []), ("", [])]:
        document.write_text(text)
        # a focused window's selection is drawn in its strong colour (GTK 4 greys it out otherwise)
        process = show([app, str(document)], app, keys, keep_focus=bool(keys) and app == "gnome-text-editor")
        shot = HOME / f"shot{len(shots)}.png"
        screenshot(shot)
        stop(process)
        shots.append(shot)
    return shots


def terminal_case(name, size, lines):
    shots = []
    for text in ["\n".join(lines), ""]:
        script = "printf '\\033[?25l%s' \"$1\"; exec sleep 600"
        process = show(["xterm", "-bg", "black", "-fg", "#d0d0d0", "-fa", "DejaVu Sans Mono", "-fd", MONO, "-fs", str(size * 3 / 4),
                        "-geometry", "80x12", "-e", "sh", "-c", script, "sh", text], "xterm", [])
        shot = HOME / f"shot{len(shots)}.png"
        screenshot(shot)
        stop(process)
        shots.append(shot)
    save(name, shots[0], difference_box(*shots, TEXT_AREA), lines)


def widget_case(name, kind, size, lines):
    process = subprocess.Popen(["/usr/bin/python3", str(HERE / "widgets.py"), kind, f"{size}px \"{SANS}\""],
                               env=ENV, stdout=subprocess.PIPE, text=True)
    x, y, w, h = (int(v) for v in process.stdout.readline().split())
    run("xdotool", "windowactivate", "--sync", PARKING)
    shot = HOME / "shot.png"
    screenshot(shot)
    stop(process)
    save(name, shot, (x, y, w, h), lines)


OUT.mkdir(parents=True, exist_ok=True)
parking_process = subprocess.Popen(["xterm", "-geometry", "8x2-0-0", "-e", "sleep", "3600"])
PARKING = find_window(parking_process, "xterm")
try:
    for case in EDITORS:
        if not ONLY or case[0] in ONLY:
            editor_case(*case)
    for case in TERMINALS:
        if not ONLY or case[0] in ONLY:
            terminal_case(*case)
    for case in WIDGETS:
        if not ONLY or case[0] in ONLY:
            widget_case(*case)
finally:
    stop(parking_process)
