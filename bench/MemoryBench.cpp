// Quillo's memory on an X11 desktop, beside the peers that are installed (GoldenDict, CopyQ,
// flameshot), each measured in the same private desktop: at start, once launch has settled, and
// for Quillo again after use: one lookup answered by an own Ollama (fake_ollama on its port),
// one screen-text grab (read by a child that ends with it), and the settings and knowledge windows
// opened and closed, with the largest mappings then. RSS, PSS and the anonymous part, from
// /proc/PID/smaps_rollup.
//   tests/support/in-desktop.sh build/bin/bench_memory
// Port 11434 must be free (no Ollama running here).

#include <algorithm>
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QMap>
#include <QRegularExpression>
#include <QStandardPaths>

#include "settings/HomeDir.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "tests/support/AtspiDriver.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/RunProgram.h"

namespace {

constexpr int settleMs = 8000;

// MB of a smaps_rollup field.
double rollup(qint64 pid, const char* field)
{
    for (const QByteArray& line : readFile(QStringLiteral("/proc/%1/smaps_rollup").arg(pid)).split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong() / 1024.0;
    }
    return -1;
}

void printRow(const char* what, qint64 pid)
{
    std::printf("| %-34s | %6.1f | %6.1f | %9.1f |\n", what, rollup(pid, "Rss:"), rollup(pid, "Pss:"),
                rollup(pid, "Anonymous:"));
}

// The largest mappings by RSS, named by file ("[heap]", or "anonymous" for the nameless ones).
void printLargestMappings(qint64 pid)
{
    QMap<QString, long> rssKb;
    QString name;
    for (const QByteArray& line : readFile(QStringLiteral("/proc/%1/smaps").arg(pid)).split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 5 && fields[0].contains('-') && !fields[0].endsWith(':'))
            name = fields.size() >= 6 ? QString::fromUtf8(fields[5]).section(QLatin1Char('/'), -1)
                                      : QStringLiteral("anonymous");
        else if (fields.value(0) == "Rss:")
            rssKb[name] += fields.value(1).toLong();
    }
    QList<std::pair<long, QString>> largest;
    for (auto it = rssKb.cbegin(); it != rssKb.cend(); ++it)
        largest.append({it.value(), it.key()});
    std::sort(largest.rbegin(), largest.rend());
    for (const auto& [kb, mapping] : largest.mid(0, 10))
        std::printf("|   %-32s | %6.1f |        |           |\n", qPrintable(mapping), kb / 1024.0);
}

int quillo(const QStringList& args)
{
    return runProgram(QStringLiteral(QUILLO_BIN_DIR "/quillo"), args).exitCode;
}

bool waitFor(qint64 pid, const QString& name)
{
    return processEventsUntil([&] { return AtspiDriver::shows(pid, name); });
}

// Whether a window with this in its title is shown (the knowledge window's title counts entries).
bool windowShows(const QString& title)
{
    return runProgram(QStringLiteral("xdotool"),
                      {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                       QRegularExpression::escape(title)})
               .exitCode
        == 0;
}

// Opens a window of the running instance with its command, then closes it as a user does.
bool openAndClose(const char* command, const QString& title)
{
    if (quillo({QString::fromLatin1(command)}) != 0 || !processEventsUntil([&] { return windowShows(title); })) {
        std::fprintf(stderr, "%s showed no window\n", command);
        return false;
    }
    DesktopSession::typeKeys({QStringLiteral("alt+F4")});
    if (!processEventsUntil([&] { return !windowShows(title); })) {
        std::fprintf(stderr, "%s: the window did not close\n", command);
        return false;
    }
    return true;
}

// Drags over the editor's text until the grab reports a result in its log.
bool grabScreenText()
{
    const QString log = HomeDir::dataDir() + QStringLiteral("/ocr-debug.log");
    if (quillo({QStringLiteral("--trigger-ocr")}) != 0)
        return false;
    return processEventsUntil([&] {
        runProgram(QStringLiteral("xdotool"),
                   arguments("mousemove 10 40 mousedown 1 mousemove 200 80 mousemove "
                             "420 120 mouseup 1"));
        return processEventsUntil([&] { return readFile(log).contains("command · 拿到结果"); }, 2000);
    });
}

bool useOnce(DesktopSession& desktop, qint64 pid)
{
    const QString text = QStringLiteral("The quick brown fox jumps over the lazy dog.");
    if (!desktop.startMousepad(QDir::home().filePath(QStringLiteral("memory-bench.txt")), text)
        || !DesktopSession::selectByKeyboard(4, 5) || !DesktopSession::typeKeys({QStringLiteral("alt+super+e")})
        || !waitFor(pid, L10n::t("popup.action.explain")) || !AtspiDriver::press(pid, L10n::t("popup.action.explain"))
        || !waitFor(pid, L10n::t("popup.btn.replace"))) {
        std::fprintf(stderr, "the lookup did not complete\n");
        return false;
    }
    DesktopSession::typeKeys({QStringLiteral("Escape")});
    if (!grabScreenText()) {
        std::fprintf(stderr, "the screen-text grab did not complete\n");
        return false;
    }
    DesktopSession::typeKeys({QStringLiteral("Escape")});
    if (!openAndClose("--settings", L10n::t("settings.title")) || !openAndClose("--knowledge", L10n::t("kw.title"))) {
        std::fprintf(stderr, "a window did not open and close\n");
        return false;
    }
    return true;
}

}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    qputenv("SELVANE_UI_LANG", "en");
    DesktopSession desktop;
    desktop.start(QStringLiteral("trayer"), arguments("--edge top --align right --widthtype request --height 32"));
    writeFile(HomeDir::dataDir() + QStringLiteral("/onboarded"), "1");
    const QString model = QStringLiteral("qwen2.5:0.5b");
    const std::unique_ptr<FakeOllamaServer> ollama = ownOllamaWith(model);
    if (!ollama) {
        std::fprintf(stderr, "fake_ollama could not take port 11434\n");
        return 1;
    }
    AppSettings settings = SettingsStore::load(true);
    settings.qwenModel = model;
    settings.compareMode = false;
    settings.explainEngine = EngineChoice::local;
    SettingsStore::save(settings);

    std::printf("Memory (MB), settled %d s after each step\n| %-34s | RSS    | PSS    | anonymous |\n"
                "|------------------------------------|--------|--------|-----------|\n",
                settleMs / 1000, "program");
    QProcess* app = desktop.startQuillo(QStringLiteral("xcb"));
    if (!app)
        return 1;
    processEventsFor(settleMs); // healing, readiness and the update check have run
    printRow("Quillo at start", app->processId());
    if (!useOnce(desktop, app->processId()))
        return 1;
    processEventsFor(settleMs);
    printRow("Quillo after use", app->processId());
    printLargestMappings(app->processId());
    quillo({QStringLiteral("--quit")});
    app->waitForFinished(10000);

    for (const char* peer : {"goldendict", "copyq", "flameshot"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(peer)).isEmpty())
            continue;
        QProcess* process = desktop.start(QString::fromLatin1(peer), {});
        processEventsFor(settleMs);
        printRow(peer, process->processId());
        DesktopSession::stop(process);
    }
    return 0;
}
