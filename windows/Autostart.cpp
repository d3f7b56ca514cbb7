#include "windows/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "settings/AppBundle.h"
#include "settings/HomeDir.h"

namespace Autostart {

namespace {

// Named by the application id, as desktop portals find an application by its entry.
const QString entryName = QStringLiteral("org.quillo.Quillo.desktop");

QString autostartDir()
{
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString configHome =
        QDir::isAbsolutePath(configured) ? configured : HomeDir::path() + QStringLiteral("/.config");
    return configHome + QStringLiteral("/autostart/");
}

// Quotes an Exec argument as desktop entries require: inside double quotes, backslash before
// '"', '`', '$' and '\'; a literal '%' is doubled.
QString quotedArgument(const QString& argument)
{
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
        if (c == QLatin1Char('%'))
            quoted += c;
    }
    // The desktop-entry string type escapes backslashes once more.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The application's own desktop entry (names, icon, comments in both languages) with this
// program's path and the autostart key; a minimal entry where none is installed beside us.
QString autostartEntry(const QString& program)
{
    QFile installed(AppBundle::resourceDir() + QStringLiteral("/../applications/") + entryName);
    QStringList lines;
    if (installed.open(QIODevice::ReadOnly))
        lines = QString::fromUtf8(installed.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    else
        lines = {QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"), QStringLiteral("Name=Quillo"),
                 QStringLiteral("Icon=quillo"), QStringLiteral("Terminal=false")};
    QStringList entry;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char('#')) || line.startsWith(QStringLiteral("Exec="))
            || line.startsWith(QStringLiteral("TryExec=")))
            continue;
        entry << line;
        if (line == QStringLiteral("[Desktop Entry]"))
            entry << QStringLiteral("Exec=") + quotedArgument(program);
    }
    entry << QStringLiteral("X-GNOME-Autostart-enabled=true");
    return entry.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}

QString entryPath()
{
    return autostartDir() + entryName;
}

QString formerEntryPath()
{
    return autostartDir() + QStringLiteral("quillo.desktop");
}

bool isEnabled()
{
    return QFileInfo::exists(entryPath()) || QFileInfo::exists(formerEntryPath());
}

bool setEnabled(bool enabled, const QString& program)
{
    const auto removed = [](const QString& path) { return !QFileInfo::exists(path) || QFile::remove(path); };
    const QString path = entryPath();
    if (!enabled)
        return removed(path) && removed(formerEntryPath());
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(autostartEntry(program).toUtf8());
    // The former entry goes only once the new one is in place.
    return file.commit() && removed(formerEntryPath());
}

}
