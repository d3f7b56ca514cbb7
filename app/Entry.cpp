#include "app/Entry.h"

#include <memory>

#include <QApplication>

#include "app/modes/Modes.h"

namespace Entry {

const QList<EntrySwitch>& switches()
{
    static const QList<EntrySwitch> table = {
        {"--help", &helpMode},
        {"--version", &versionMode},
        {"--selftest-hotkey", &selftestHotkeyMode},
        {"--selftest-ocr", &selftestOcrMode},
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
        {"--demo", &demoMode},
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

int run(const Mode& mode, int& argc, char** argv, const QStringList& args)
{
    QCoreApplication::setApplicationName(QStringLiteral("quillo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLO_VERSION));
    std::unique_ptr<QCoreApplication> app;
    if (mode.app == AppObject::core)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else if (mode.app == AppObject::gui)
        app = std::make_unique<QApplication>(argc, argv);
    return mode.run(args);
}

}
