#include "app/Modes.h"

#include "app/Out.h"

namespace {

int printHelp(const QStringList&)
{
    out(QStringLiteral("Usage: quillo [MODE]"));
    out(QStringLiteral("Without a mode Quillo starts as a tray application: select text in any window and press"));
    out(QStringLiteral(
        "the shortcut (Alt+Super+E unless changed) to explain, translate or rewrite it. Launching it again"));
    out(QStringLiteral("opens the running one's settings; --trigger and the other commands below reach it too."));
    out(QString());
    out(QStringLiteral("Modes (when several are given, the first in this list wins):"));
    for (const EntrySwitch& entry : Entry::switches()) {
        if (!entry.mode->usage)
            continue;
        QString name = QString::fromLatin1(entry.name);
        if (entry.mode->argument)
            name += QLatin1Char(' ') + QString::fromLatin1(entry.mode->argument);
        out(QStringLiteral("  %1  %2").arg(name, -24).arg(QString::fromUtf8(entry.mode->usage)));
    }
    out(QString());
    out(QStringLiteral("Environment:"));
    out(QStringLiteral("  HOME                     where ~/.selvane (settings, knowledge base, profile) is kept"));
    out(QStringLiteral("  SELVANE_KNOWLEDGE_FILE   knowledge file to use instead of ~/.selvane/knowledge.json"));
    out(QStringLiteral("  SELVANE_PROFILE_FILE     profile file to use instead of ~/.selvane/profile.json"));
    out(QStringLiteral("  SELVANE_UI_LANG          interface language: zh or en"));
    return 0;
}

}

const Mode helpMode = {AppObject::none, nullptr, "print this help and exit", printHelp};
