// The tray application over many lookups: in a private desktop with the user's own Ollama
// (fake_ollama), a word selected in mousepad, then ROUNDS times (1,000 unless given) the
// shortcut, Explain pressed over AT-SPI, the answer awaited, Escape; with --no-memory after ROUNDS
// the lookups are not remembered in the knowledge base. Every 100 rounds it reports
// the application's resident memory, open file descriptors and threads. Exit status 1 when,
// after the first 100 rounds, memory grew by 5 MB or more, or descriptors or threads grew at
// all; 2 when a round did not complete.
// Run it through bench/soak-tray.sh.

#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "settings/AppSettings.h"
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

constexpr int waitMs = 30000;

struct Usage {
    qint64 rssKb = 0;
    int descriptors = 0;
    int threads = 0;
};

Usage usageOf(qint64 pid)
{
    Usage usage;
    for (const QByteArray& line : readFile(QStringLiteral("/proc/%1/status").arg(pid)).split('\n')) {
        if (line.startsWith("VmRSS:"))
            usage.rssKb = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        else if (line.startsWith("Threads:"))
            usage.threads = line.mid(8).trimmed().toInt();
    }
    usage.descriptors = int(QDir(QStringLiteral("/proc/%1/fd").arg(pid))
                                .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
                                .size());
    return usage;
}

// The usage once passing work has ended. A fold of the knowledge journal (every 1,000 changes)
// holds a pool thread and two files for a moment, and an idle pool thread ends 30 s after its
// last task: descriptors or threads above the baseline are read again until they are back or
// 45 s have passed, so what is reported stayed.
Usage settledUsageOf(qint64 pid, const Usage& baseline)
{
    Usage usage;
    processEventsUntil(
        [&] {
            usage = usageOf(pid);
            return usage.descriptors <= baseline.descriptors && usage.threads <= baseline.threads;
        },
        45000);
    return usage;
}

bool showing(AtspiAccessible* object)
{
    AtspiStateSet* states = atspi_accessible_get_state_set(object);
    const bool shown = states && atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
    if (states)
        g_object_unref(states);
    return shown;
}

// Waits until the process shows (or, with `present` false, no longer shows) the named control.
bool waitForControl(qint64 pid, const QString& name, bool present)
{
    return processEventsUntil(
        [&] {
            AtspiAccessible* found = AtspiDriver::named(pid, name);
            const bool shown = found && showing(found);
            if (found)
                g_object_unref(found);
            return shown == present;
        },
        waitMs);
}

// A control found while the last round's panel is still going, or before the new one has laid
// itself out, does nothing when pressed: it is looked up again until a press lands.
bool pressWhenShown(qint64 pid, const QString& name)
{
    return processEventsUntil(
        [&] {
            AtspiAccessible* control = AtspiDriver::named(pid, name);
            const bool pressed = control && showing(control) && AtspiDriver::press(control);
            if (control)
                g_object_unref(control);
            return pressed;
        },
        waitMs);
}

// Presses the action until its answer shows: a press that landed on a panel about to be replaced
// did nothing. Says on stderr when a press had to be repeated.
bool answerAction(qint64 pid, const QString& action, const QString& answered, int round)
{
    for (int press = 0; press < 3; ++press) {
        if (press > 0)
            std::fprintf(stderr, "soak: round %d: %s pressed again\n", round, qPrintable(action));
        if (!pressWhenShown(pid, action))
            return false;
        if (processEventsUntil([&] { return AtspiDriver::shows(pid, answered); }, waitMs / 3))
            return true;
    }
    return false;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    // Every round remembers a lookup unless told: the knowledge base then grows by 1,000 entries,
    // which is data, not a leak.
    const bool remember = !(argc > 2 && qstrcmp(argv[2], "--no-memory") == 0);
    qputenv("SELVANE_UI_LANG", "en");
    DesktopSession desktop;

    const QString model = QStringLiteral("qwen2.5:0.5b");
    if (!writeFile(HomeDir::dataDir() + QStringLiteral("/onboarded"), "1"))
        return 2;
    const std::unique_ptr<FakeOllamaServer> ollama = ownOllamaWith(model);
    AppSettings settings = SettingsStore::load(true);
    settings.qwenModel = model;
    settings.compareMode = false;
    settings.explainEngine = EngineChoice::local;
    settings.autoRemember = remember;
    if (!ollama || !SettingsStore::save(settings)) {
        std::fprintf(stderr, "soak: the fake engine did not start\n");
        return 2;
    }

    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    QProcess* tray = desktop.start(quilloBinary(), {}, env);
    if (!tray || !processEventsUntil(quilloOnSessionBus, waitMs)) {
        std::fprintf(stderr, "soak: the tray application did not start\n");
        return 2;
    }
    const qint64 pid = tray->processId();
    const QString word = QStringLiteral("fox");
    const QProcess* editor = desktop.startMousepad(QDir::home().filePath(QStringLiteral("soak.txt")),
                                                   QStringLiteral("The quick fox jumps."));
    if (!editor)
        return 2;

    const QString explain = L10n::t("popup.action.explain");
    std::printf("%6s %10s %6s %8s\n", "round", "rss_kb", "fds", "threads");
    Usage baseline;
    for (int round = 1; round <= rounds; ++round) {
        // Keys typed while the closed panel still holds the keyboard are lost: typed again until the
        // editor holds the selection.
        const bool selected = processEventsUntil(
            [&] {
                return DesktopSession::selectByKeyboard(10, int(word.size()))
                    && AtspiDriver::selectedText(editor->processId()) == word;
            },
            waitMs);
        const char* failed = !selected                                         ? "selecting the word"
            : !DesktopSession::typeKeys({QStringLiteral("alt+super+e")})       ? "pressing the shortcut"
            : !answerAction(pid, explain, L10n::t("popup.btn.replace"), round) ? "getting an answer"
            : !DesktopSession::typeKeys({QStringLiteral("Escape")})            ? "pressing Escape"
            : !waitForControl(pid, explain, false)                             ? "waiting for the panel to close"
                                                                               : nullptr;
        if (failed) {
            std::fprintf(stderr, "soak: round %d failed at %s\n", round, failed);
            return 2;
        }
        if (round % 100 == 0 || round == 1) {
            const Usage usage = round == 1 ? usageOf(pid) : settledUsageOf(pid, baseline);
            std::printf("%6d %10lld %6d %8d\n", round, usage.rssKb, usage.descriptors, usage.threads);
            std::fflush(stdout);
            if (round == 1 || round == 100) // the first read is what the others settle to until round 100
                baseline = usage;
        }
    }
    if (rounds < 100)
        return 0;
    const Usage last = settledUsageOf(pid, baseline);
    const qint64 grownKb = last.rssKb - baseline.rssKb;
    std::printf("after round 100: memory %+lld kB, descriptors %+d, threads %+d\n", grownKb,
                last.descriptors - baseline.descriptors, last.threads - baseline.threads);
    return grownKb < 5 * 1024 && last.descriptors <= baseline.descriptors && last.threads <= baseline.threads ? 0 : 1;
}
