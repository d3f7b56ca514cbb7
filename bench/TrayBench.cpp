// The tray application's own costs, measured in a private desktop with a tray host:
//  - shortcut → panel mapped: Alt+Super+E sent with XTest until a window maps, median and 95th
//    percentile of 30 presses, reading mousepad (AT-SPI) and xterm (PRIMARY), beside the floor:
//    this program itself mapping a ready window on the same press;
//  - idle memory once launch has settled (RSS and PSS; no engine runs here), beside GoldenDict
//    when it is installed;
//  - cold start until the tray icon is shown in the tray host, median of 20, taken in turn with
//    CopyQ (when installed) and the floor: this program as a trivial Qt tray icon with a menu.
// Run it through bench/tray-bench.sh.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QPixmap>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QWidget>

#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include "app/InstalledPlatform.h"
#include "core/HotKey.h"
#include "settings/AppSettings.h"
#include "settings/HomeDir.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int presses = 30;
constexpr int starts = 20;
// evdev key codes + 8
constexpr xcb_keycode_t altKey = 64, superKey = 133, eKey = 26, escapeKey = 9;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Stats {
    double median = 0, p95 = 0;
};
Stats stats(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values[std::min(values.size() - 1, values.size() * 95 / 100)]};
}

// Our own connection: XTest keys out, map and unmap notifications of top-level windows in.
class Probe {
public:
    Probe()
        : m_c(xcb_connect(nullptr, nullptr))
        , m_root(xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root)
    {
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_c);
    }
    ~Probe() { xcb_disconnect(m_c); }

    void chord(std::initializer_list<xcb_keycode_t> keys)
    {
        for (const xcb_keycode_t key : keys)
            xcb_test_fake_input(m_c, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
            xcb_test_fake_input(m_c, XCB_KEY_RELEASE, *key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(m_c);
    }

    void drain()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_c))
            free(event);
    }

    // Waits for the next event of that type on the root's children; false on timeout.
    bool waitFor(uint8_t type, int timeoutMs)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < deadline) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
                const bool hit = (event->response_type & 0x7f) == type;
                free(event);
                if (hit)
                    return true;
            }
            pollfd fd{xcb_get_file_descriptor(m_c), POLLIN, 0};
            ::poll(&fd, 1, 1);
            QCoreApplication::processEvents(); // the floor's own window lives in this process
        }
        return false;
    }

    // One press until a window maps, then Escape until it unmaps.
    std::optional<double> pressToMap()
    {
        processEventsFor(150);
        drain();
        const auto start = Clock::now();
        chord({altKey, superKey, eKey});
        if (!waitFor(XCB_MAP_NOTIFY, 5000))
            return std::nullopt;
        const double elapsed = ms(Clock::now() - start);
        processEventsFor(50);
        chord({escapeKey});
        waitFor(XCB_UNMAP_NOTIFY, 2000);
        return elapsed;
    }

    // The windows the tray host's panel shows (the icons).
    QList<xcb_window_t> trayIcons()
    {
        QList<xcb_window_t> shown;
        const xcb_window_t panel = findNamed(m_root, "panel");
        xcb_query_tree_reply_t* tree = panel ? xcb_query_tree_reply(m_c, xcb_query_tree(m_c, panel), nullptr) : nullptr;
        for (int i = 0; tree && i < xcb_query_tree_children_length(tree); ++i) {
            const xcb_window_t child = xcb_query_tree_children(tree)[i];
            xcb_get_window_attributes_reply_t* a =
                xcb_get_window_attributes_reply(m_c, xcb_get_window_attributes(m_c, child), nullptr);
            if (a && a->map_state == XCB_MAP_STATE_VIEWABLE)
                shown << child;
            free(a);
        }
        free(tree);
        return shown;
    }

private:
    xcb_window_t findNamed(xcb_window_t window, const char* name, int depth = 0)
    {
        xcb_get_property_reply_t* p = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 0, 64), nullptr);
        const bool hit = p
            && QByteArray(static_cast<const char*>(xcb_get_property_value(p)), xcb_get_property_value_length(p))
                == name;
        free(p);
        if (hit)
            return window;
        if (depth > 3)
            return 0;
        xcb_window_t found = 0;
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(m_c, xcb_query_tree(m_c, window), nullptr);
        for (int i = 0; tree && i < xcb_query_tree_children_length(tree) && !found; ++i)
            found = findNamed(xcb_query_tree_children(tree)[i], name, depth + 1);
        free(tree);
        return found;
    }

    xcb_connection_t* m_c;
    xcb_window_t m_root;
};

QString quillo()
{
    return QStringLiteral(QUILLO_BIN_DIR "/quillo");
}

QProcess* launchQuillo(DesktopSession& desktop)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return desktop.start(quillo(), {}, env);
}

QProcess* startQuillo(DesktopSession& desktop)
{
    QProcess* process = launchQuillo(desktop);
    return process && processEventsUntil(quilloOnSessionBus, 15000) ? process : nullptr;
}

void stopQuillo(QProcess* process)
{
    runProgram(quillo(), {QStringLiteral("--quit")});
    process->waitForFinished(10000);
}

// A program whose start is timed until its icon shows in the tray host.
struct Starter {
    const char* name;
    std::function<QProcess*()> launch;
    std::function<void(QProcess*)> stop;
    std::vector<double> times;
};

// Starts each program in turn, so that a change in the machine's load meets them all alike; each
// start is stopped before the next.
void timeColdStarts(Probe& probe, std::vector<Starter>& starters)
{
    for (int i = 0; i < starts; ++i) {
        for (Starter& starter : starters) {
            const QList<xcb_window_t> before = probe.trayIcons();
            const auto isNew = [&](xcb_window_t icon) { return !before.contains(icon); };
            const auto start = Clock::now();
            QProcess* process = starter.launch();
            if (process && processEventsUntil([&] { return std::ranges::any_of(probe.trayIcons(), isNew); }, 15000))
                starter.times.push_back(ms(Clock::now() - start));
            if (process)
                starter.stop(process);
        }
    }
}

void printPresses(const char* road, const std::vector<double>& values)
{
    const Stats s = stats(values);
    std::printf("| %-34s | %3zu | %7.1f | %7.1f |\n", road, values.size(), s.median, s.p95);
}

std::vector<double> measurePresses(Probe& probe)
{
    std::vector<double> values;
    for (int i = 0; i < presses; ++i) {
        if (const std::optional<double> value = probe.pressToMap())
            values.push_back(*value);
    }
    return values;
}

// kB of a /proc file's field.
long procField(qint64 pid, const char* file, const char* field)
{
    for (const QByteArray& line :
         readFile(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file))).split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void printMemory(const char* what, qint64 pid)
{
    std::printf("| %-24s | %7.1f | %7.1f |\n", what, procField(pid, "status", "VmRSS:") / 1024.0,
                procField(pid, "smaps_rollup", "Pss:") / 1024.0);
}

constexpr char trivialTraySwitch[] = "--trivial-tray";

// The least a Qt tray program does: an icon with a one-line menu, until it is stopped.
int runTrivialTray()
{
    QMenu menu;
    menu.addAction(QStringLiteral("Quit"));
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::darkGray);
    QSystemTrayIcon icon{QIcon(pixmap)};
    icon.setContextMenu(&menu);
    icon.show();
    return QApplication::exec();
}

}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc > 1 && argv[1] == std::string_view(trivialTraySwitch))
        return runTrivialTray();
    DesktopSession desktop;
    Probe probe;
    // Onboarded, with a cloud key so that the actions open (no request is ever sent).
    writeFile(HomeDir::dataDir() + QStringLiteral("/onboarded"), "1");
    writeFile(HomeDir::dataDir() + QStringLiteral("/config.json"), R"({"cloudKeys": {"doubao": "bench-key"}})");
    desktop.start(QStringLiteral("trayer"),
                  {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                   QStringLiteral("--widthtype"), QStringLiteral("request"), QStringLiteral("--height"),
                   QStringLiteral("32")});
    processEventsFor(1000);

    std::vector<Starter> starters{{"quillo",
                                   [&] { return launchQuillo(desktop); },
                                   [](QProcess* process) {
                                       processEventsUntil(quilloOnSessionBus, 15000);
                                       stopQuillo(process);
                                   },
                                   {}}};
    // CopyQ, the peer the target is set against, started and stopped the same way on the same desktop.
    if (!QStandardPaths::findExecutable(QStringLiteral("copyq")).isEmpty())
        starters.push_back({"CopyQ",
                            [&] { return desktop.start(QStringLiteral("copyq"), {}); },
                            [](QProcess* process) {
                                runProgram(QStringLiteral("copyq"), {QStringLiteral("exit")});
                                process->waitForFinished(10000);
                            },
                            {}});
    starters.push_back(
        {"trivial Qt tray",
         [&] { return desktop.start(QCoreApplication::applicationFilePath(), {QLatin1String(trivialTraySwitch)}); },
         [](QProcess* process) { DesktopSession::stop(process); },
         {}});
    timeColdStarts(probe, starters);
    std::printf("Cold start until the tray icon is shown (ms), %d starts each, taken in turn\n"
                "| program         | median  |\n|-----------------|---------|\n",
                starts);
    for (const Starter& starter : starters)
        std::printf("| %-15s | %7.1f |\n", starter.name, stats(starter.times).median);
    std::printf("\n");

    QProcess* app = startQuillo(desktop);
    if (!app)
        return 1;
    processEventsFor(8000); // healing, readiness and the update check have run
    std::printf("Idle memory (MB)\n| %-24s | RSS     | PSS     |\n|--------------------------|---------|---------|\n",
                "program");
    printMemory("quillo", app->processId());
    if (!QStandardPaths::findExecutable(QStringLiteral("goldendict")).isEmpty()) {
        QProcess* golden = desktop.start(QStringLiteral("goldendict"), {});
        processEventsFor(8000);
        printMemory("GoldenDict", golden->processId());
        DesktopSession::stop(golden);
    }

    std::printf("\nShortcut press → panel mapped (ms)\n| %-34s | n   | median  | p95     "
                "|\n|------------------------------------|-----|---------|---------|\n",
                "road");
    const QString file = QDir::temp().filePath(QStringLiteral("tray-bench.txt"));
    QProcess* editor = desktop.startMousepad(file, QStringLiteral("The quick fox jumps over the lazy dog."));
    if (editor && DesktopSession::selectByKeyboard(10, 3))
        printPresses("AT-SPI (mousepad)", measurePresses(probe));
    DesktopSession::stop(editor);
    if (desktop.startXtermWithSelectedLine(QStringLiteral("a line selected in xterm")))
        printPresses("PRIMARY (xterm)", measurePresses(probe));
    stopQuillo(app);

    // The floor: a ready tool window of this process, shown on the same press.
    InstalledPlatform platform;
    QWidget window;
    window.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    window.setAttribute(Qt::WA_ShowWithoutActivating);
    window.resize(400, 200);
    HotKey show({AppSettings::defaultHotKeyCode, AppSettings::defaultHotKeyModifiers}, HotKey::mainId,
                [&] { window.show(); });
    HotKey hide({53, 0}, HotKey::escapeId, [&] { window.hide(); });
    if (show.isRegistered())
        printPresses("floor (trivial Qt window)", measurePresses(probe));
    return 0;
}
