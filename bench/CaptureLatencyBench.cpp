// The selection matrix: real applications, each started once with the same phrase selected, read
// the way the main shortcut reads it and written the way the replace button writes it. Prints a
// table: the road taken, whether the phrase came back whole with context, whether a collapsed
// selection gives nothing, how the replacement went (checked by selecting everything and reading
// it back), and the capture latency, median of 20: "cold" with a fresh accessibility service (the
// lookup of the focused element, walk included; with how many of them still took the road of the
// first capture), "warm" with the service that already found it or heard of it from events.
// Applications that are not installed are left out. Run it in a private desktop:
//   bench/selection-matrix.sh [NAME...]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include <QCoreApplication>
#include <QStandardPaths>

#include "app/InstalledPlatform.h"
#include "capture/PutBack.h"
#include "capture/SelectionCaptureService.h"
#include "core/TaskPool.h"
#include "platform/atspi/AtspiAccessibility.h"
#include "platform/linux/XWorkspace.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

namespace {

const QString sample =
    QStringLiteral("第一句话。你好🙂世界，选中的😀文字在这里。后面还有一句！");
const QString phrase = QStringLiteral("世界，选中的😀文字");
const QString answer = QStringLiteral("替换成🎉新文字");
const QString terminalLine = QStringLiteral("终端里选中的一行 selected line");
constexpr int samples = 20;

DesktopSession* desktop = nullptr;

ProgramResult xdotool(const QString& args)
{
    return runProgram(QStringLiteral("xdotool"), args.split(u' '));
}
QString primary()
{
    return QString::fromUtf8(runProgram(QStringLiteral("xclip"), {QStringLiteral("-o")}).out);
}

void clickAt(int x, int y, int clicks)
{
    xdotool(QStringLiteral("getactivewindow mousemove --window %1 ")
            + QStringLiteral("%1 %2 click --repeat %3 1").arg(x).arg(y).arg(clicks));
    processEventsFor(300);
}

// Started, and its window in front: the window of the process, or of the title when given (for
// launchers that start the application as another process).
QProcess* startWindow(const QString& program, const QStringList& args, const QProcessEnvironment& env = {},
                      int settleMs = 300, const QString& title = {})
{
    QProcess* process = desktop->start(program, args, env);
    const auto inFront = [&] {
        if (!title.isEmpty())
            return QString::fromUtf8(xdotool(QStringLiteral("getactivewindow getwindowname")).out).contains(title);
        return xdotool(QStringLiteral("getactivewindow getwindowpid")).out.trimmed().toLongLong()
            == process->processId();
    };
    if (!process || !processEventsUntil(inFront, 60000))
        return nullptr;
    processEventsFor(settleMs);
    return process;
}

// A freshly opened window may miss the first keys; PRIMARY shows what got selected.
bool selectPhraseByKeyboard()
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (DesktopSession::selectByKeyboard(8, 9) && processEventsUntil([] { return primary() == phrase; }, 1500))
            return true;
    }
    return false;
}

struct App {
    QString name;
    QString program;
    std::function<QProcess*()> start; // started, the phrase selected
    std::function<void()> collapse;
    std::function<bool()> reselect; // null: not editable
    QString expected = phrase;
};

QString writeSample(const QString& name, const QByteArray& content)
{
    const QString path = desktop->homePath() + u'/' + name;
    return writeFile(path, content) ? path : QString();
}

App editor(const QString& name, const QString& program, const QStringList& args,
           const QString& file = QStringLiteral("sample.txt"))
{
    return {name, program,
            [=] {
                const QString path = writeSample(file, sample.toUtf8());
                QProcess* process = startWindow(program, args + QStringList{path}, {}, 1000);
                return process && selectPhraseByKeyboard() ? process : nullptr;
            },
            [] {
                DesktopSession::typeKeys({QStringLiteral("Right")});
                processEventsFor(300);
            },
            selectPhraseByKeyboard};
}

App terminal(const QString& name, const QString& program, const QStringList& args, int lineY)
{
    return {name,
            program,
            [=] {
                const QString script = desktop->homePath() + QStringLiteral("/lines.sh");
                writeExecutable(
                    script, "#!/bin/sh\nprintf '%s\\n后面一行。\\n' '" + terminalLine.toUtf8() + "'\nexec sleep 600\n");
                QProcessEnvironment env;
                env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
                QProcess* process = startWindow(program, args + QStringList{script}, env);
                if (process)
                    clickAt(30, lineY, 3);
                return process;
            },
            [=] { clickAt(30, lineY, 1); },
            nullptr,
            terminalLine};
}

// A page with the phrase in a paragraph and in a text area; the hash says which one is selected.
App firefox(const QString& name, const QString& where)
{
    static const QByteArray page = "<!doctype html><meta charset=utf-8><body style='font-size:20px'><p id=p>"
        + sample.toUtf8() + "</p><textarea id=t cols=60>" + sample.toUtf8()
        + "</textarea><script>"
          "onload=()=>{if(location.hash=='#p'){const n=document.getElementById('p').firstChild;"
          "getSelection().setBaseAndExtent(n,9,n,19);}else{document.getElementById('t').focus();}};</script>";
    static const QByteArray prefs =
        "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
        "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
        "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
        "user_pref(\"datareporting.policy.dataSubmissionPolicyBypassNotification\", true);\n"
        "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n";
    const bool paragraph = where == u"p";
    App app{name, QStringLiteral("firefox-esr"),
            [=] {
                const QString html = writeSample(QStringLiteral("page.html"), page);
                const QString profile = desktop->homePath() + QStringLiteral("/ff-") + where;
                writeFile(profile + QStringLiteral("/user.js"), prefs);
                QProcess* process = startWindow(QStringLiteral("firefox-esr"),
                                                {QStringLiteral("--no-remote"), QStringLiteral("--profile"), profile,
                                                 QStringLiteral("file://") + html + u'#' + where},
                                                {}, 4000);
                return process && (paragraph || selectPhraseByKeyboard()) ? process : nullptr;
            },
            [=] {
                if (paragraph)
                    clickAt(600, 400, 1);
                else
                    DesktopSession::typeKeys({QStringLiteral("Right")});
                processEventsFor(300);
            },
            paragraph ? std::function<bool()>() : std::function<bool()>(selectPhraseByKeyboard)};
    return app;
}

App writer()
{
    const QByteArray settings =
        "<?xml version='1.0' encoding='UTF-8'?><oor:items xmlns:oor='http://openoffice.org/2001/registry' "
        "xmlns:xs='http://www.w3.org/2001/XMLSchema'>"
        "<item oor:path='/org.openoffice.Office.Common/Misc'><prop oor:name='ShowTipOfTheDay' "
        "oor:op='fuse'><value>false</value></prop></item>"
        "<item oor:path='/org.openoffice.Setup/Office'><prop oor:name='FirstStartWizardCompleted' "
        "oor:op='fuse'><value>true</value></prop></item>"
        "</oor:items>";
    App app = editor(QStringLiteral("LibreOffice Writer"), QStringLiteral("lowriter"), {});
    app.start = [=] {
        const QString path = writeSample(QStringLiteral("sample.txt"), sample.toUtf8());
        const QString profile = desktop->homePath() + QStringLiteral("/lo");
        writeFile(profile + QStringLiteral("/user/registrymodifications.xcu"), settings);
        QProcessEnvironment env;
        env.insert(QStringLiteral("SAL_USE_VCLPLUGIN"), QStringLiteral("gtk3"));
        // The text filter named, so no dialog asks for the encoding.
        QProcess* process = startWindow(QStringLiteral("lowriter"),
                                        {QStringLiteral("--norestore"), QStringLiteral("--nologo"),
                                         QStringLiteral("-env:UserInstallation=file://") + profile,
                                         QStringLiteral("--infilter=Text (encoded):UTF8,LF,,"), path},
                                        env, 3000, QStringLiteral("LibreOffice"));
        return process && selectPhraseByKeyboard() ? process : nullptr;
    };
    return app;
}

QList<App> matrix()
{
    QList<App> apps = {
        {QStringLiteral("Qt 6 editor (test helper)"), QStringLiteral(QUILLO_BIN_DIR "/quillo_text_target"),
         [] {
             QProcess* process = desktop->startQtEditor(sample, true);
             return process && selectPhraseByKeyboard() ? process : nullptr;
         },
         [] {
             DesktopSession::typeKeys({QStringLiteral("Right")});
             processEventsFor(300);
         },
         selectPhraseByKeyboard},
        editor(QStringLiteral("gedit (GTK 3)"), QStringLiteral("gedit"), {}),
        editor(QStringLiteral("mousepad (GTK 3)"), QStringLiteral("mousepad"), {}),
        editor(QStringLiteral("gnome-text-editor (GTK 4)"), QStringLiteral("gnome-text-editor"),
               {QStringLiteral("--standalone")}),
        editor(QStringLiteral("featherpad (Qt 5)"), QStringLiteral("featherpad"), {}),
        editor(QStringLiteral("kwrite (Qt 5)"), QStringLiteral("kwrite"), {}),
        terminal(QStringLiteral("sakura (VTE)"), QStringLiteral("sakura"), {QStringLiteral("-x")}, 8),
        terminal(QStringLiteral("xterm (PRIMARY)"), QStringLiteral("xterm"),
                 {QStringLiteral("-u8"), QStringLiteral("-e")}, 8),
        firefox(QStringLiteral("Firefox paragraph"), QStringLiteral("p")),
        firefox(QStringLiteral("Firefox textarea"), QStringLiteral("t")),
        writer(),
    };
    return apps;
}

struct Capture {
    std::optional<SelectionCapture::Result> result;
    double ms = 0;
};

Capture captureOnce(const PlatformServices& services)
{
    TaskPool tasks(1);
    PlatformSelectionCapture capture(services, tasks);
    QObject context;
    std::optional<std::optional<SelectionCapture::Result>> delivered;
    const auto start = std::chrono::steady_clock::now();
    capture.capture(&context, [&](std::optional<SelectionCapture::Result> result) { delivered = result; });
    processEventsUntil([&] { return delivered.has_value(); }, 5000);
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    return {delivered.value_or(std::nullopt), elapsed.count()};
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

struct Latency {
    double cold = 0;
    double warm = 0;
    int coldSameRoad = 0; // cold captures that took the road of the first one (a lookup in time)
};

Latency latency(const PlatformServices& services, const QString& road)
{
    QList<double> cold;
    QList<double> warm;
    Latency result;
    for (int i = 0; i < samples; ++i) {
        PlatformServices fresh = services;
        fresh.accessibility = std::make_shared<AtspiAccessibility>(std::make_shared<XWorkspace>());
        const Capture capture = captureOnce(fresh);
        cold << capture.ms;
        result.coldSameRoad += capture.result && capture.result->method == road;
        warm << captureOnce(services).ms;
    }
    result.cold = median(cold);
    result.warm = median(warm);
    return result;
}

QString replaceAndReadBack(const App& app, const PlatformServices& services)
{
    if (!app.reselect)
        return QStringLiteral("n/a");
    if (!app.reselect())
        return QStringLiteral("reselect failed");
    const PutBack::Outcome outcome = PutBack::apply(services, std::nullopt, answer);
    const QString road = outcome == PutBack::Outcome::replaced ? QStringLiteral("AT-SPI") : QStringLiteral("paste");
    if (outcome != PutBack::Outcome::replaced)
        processEventsFor(300);
    DesktopSession::typeKeys({QStringLiteral("ctrl+a")});
    processEventsFor(300);
    const Capture all = captureOnce(services);
    const bool replaced = all.result && all.result->text.trimmed() == QString(sample).replace(phrase, answer);
    return road + (replaced ? QStringLiteral(" ok") : QStringLiteral(" WRONG"));
}

void run(const App& app, const QStringList& only)
{
    if (!only.isEmpty() && std::none_of(only.begin(), only.end(), [&](const QString& n) {
            return app.name.contains(n, Qt::CaseInsensitive);
        }))
        return;
    if (QStandardPaths::findExecutable(app.program).isEmpty() && !QFile::exists(app.program))
        return;
    const PlatformServices services = Platform::services();
    QProcess* process = app.start();
    if (!process) {
        std::printf("| %-26s | did not start or select |\n", qPrintable(app.name));
        return;
    }
    const Capture first = captureOnce(services);
    const bool whole = first.result && first.result->text.trimmed() == app.expected;
    const bool context = first.result && first.result->contextBefore.has_value();
    const Latency latencies = latency(services, first.result ? first.result->method : QString());
    app.collapse();
    const bool nothing = !captureOnce(services).result;
    const QString replacement = replaceAndReadBack(app, services);
    std::printf("| %-26s | %-4s | %-5s | %-7s | %-7s | %-16s | %7.1f (%2d/%d) | %7.1f |\n", qPrintable(app.name),
                first.result ? qPrintable(first.result->method == SelectionCapture::methodAX ? QStringLiteral("AX")
                                                                                             : QStringLiteral("copy"))
                             : "none",
                whole ? "yes" : "NO", context ? "yes" : "no", nothing ? "yes" : "NO", qPrintable(replacement),
                latencies.cold, latencies.coldSameRoad, samples, latencies.warm);
    if (!whole && first.result) {
        QString points;
        for (const char32_t point : first.result->text.toUcs4())
            points += QStringLiteral(" %1").arg(quint32(point), 4, 16, QLatin1Char('0'));
        std::printf("|   read: %s (%s)\n", qPrintable(first.result->text), qPrintable(points));
    }
    std::fflush(stdout);
    DesktopSession::stop(process);
    processEventsFor(500);
}

}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList only = application.arguments().mid(1);
    DesktopSession session;
    desktop = &session;
    InstalledPlatform platform;
    // Firefox exposes its pages only when the session's switch is on.
    Platform::services().accessibility->turnOnSessionSwitch();
    std::printf("| %-26s | road | whole | context | nothing | replacement      | cold ms (same road) | warm ms |\n",
                "application");
    std::printf("|----------------------------|------|-------|---------|---------|------------------|------------------"
                "---|---------|\n");
    for (const App& app : matrix())
        run(app, only);
    return 0;
}
