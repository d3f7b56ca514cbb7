#include "app/Entry.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include <QApplication>

#include "app/InstalledPlatform.h"
#include "app/Modes.h"
#include "app/SignalQuit.h"
#include "engines/ollama/ManagedOllama.h"
#include "settings/KeyNames.h"

namespace Entry {

const QList<EntrySwitch>& switches()
{
    static const QList<EntrySwitch> table = {
        // The commands a user runs.
        {"--help", &helpMode},
        {"--version", &versionMode},
        {"--ask", &askMode},
        {"--trigger", &triggerMode},
        {"--trigger-ocr", &triggerOCRMode},
        {"--ocr", &ocrMode},
        {"--settings", &settingsMode},
        {"--knowledge", &knowledgeMode},
        {"--quit", &quitMode},
        {"--demo", &demoMode},
        // The tray's own child processes, left out of --help.
        {"--recognize-child", &recognizeChildMode},
        // The built-in checks, each ending in a verdict line.
        {"--selftest-hotkey", &selftestHotkeyMode},
        {"--selftest-ocr", &selftestOCRMode},
        {"--selftest-knowledge", &selftestKnowledgeMode},
        {"--selftest-semantic", &selftestSemanticMode},
        {"--selftest-homedir", &selftestHomedirMode},
        {"--selftest-ready", &selftestReadyMode},
        {"--selftest-stream", &selftestStreamMode},
        {"--selftest-profile", &selftestProfileMode},
        {"--selftest-context", &selftestContextMode},
        {"--context-livetest", &contextLivetestMode},
        {"--profile-livetest", &profileLivetestMode},
        {"--selftest-e2e", &selftestE2eMode},
        {"--selftest-pull", &selftestPullMode},
        {"--check-ax", &checkAxMode},
        {"--render-preview", &renderPreviewMode},
        {"--probe-selection", &probeSelectionMode},
    };
    return table;
}
const Mode& choose(const QStringList& args)
{
    for (const EntrySwitch& entry : switches()) {
        if (args.contains(QLatin1String(entry.name)))
            return *entry.mode;
    }
    return normalMode;
}

namespace {

// The options QGuiApplication and QApplication take from any program's command line.
bool isQtOption(const QString& name)
{
    static const QStringList qtOptions = {
        QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"),
        QStringLiteral("reverse"),
        QStringLiteral("session"),
        QStringLiteral("style"),
        QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount"),
        QStringLiteral("display"),
        QStringLiteral("geometry"),
        QStringLiteral("name"),
        QStringLiteral("title"),
        QStringLiteral("nograb"),
        QStringLiteral("dograb"),
        QStringLiteral("sync"),
        QStringLiteral("visual"),
    };
    return qtOptions.contains(name);
}

}

QString unknownSwitch(const QStringList& args)
{
    for (const QString& arg : args.mid(1)) {
        if (arg == QLatin1String("--ask"))
            return {};
        if (arg.size() < 2 || !arg.startsWith(QLatin1Char('-')))
            continue;
        const bool known = std::any_of(switches().cbegin(), switches().cend(),
                                       [&](const EntrySwitch& entry) { return arg == QLatin1String(entry.name); });
        const QString bare = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
        if (!known && !isQtOption(bare))
            return arg;
    }
    return {};
}

int run(const Mode& mode, int& argc, char** argv, const QStringList& args)
{
    QCoreApplication::setApplicationName(QStringLiteral("quillo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLO_VERSION));
    KeyFormatter::setWordNames(&interfaceKeyName);
    if (mode.app == AppObject::none)
        return mode.run(args);
    if (mode.app == AppObject::gui && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("quillo: no desktop session here (DISPLAY is not set): start Quillo from a graphical session\n",
                   stderr);
        return 1;
    }
    const std::unique_ptr<QCoreApplication> app = mode.app == AppObject::gui
        ? std::make_unique<QApplication>(argc, argv)
        : std::make_unique<QCoreApplication>(argc, argv);
    const SignalQuit signalQuit;
    std::optional<InstalledPlatform> desktop;
    if (mode.app == AppObject::desktop || mode.app == AppObject::gui)
        desktop.emplace();
    const int status = mode.run(args);
    ManagedOllama::terminateSync();
    desktop.reset();
    return status;
}

}
