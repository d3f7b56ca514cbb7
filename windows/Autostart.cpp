#include "windows/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "settings/HomeDir.h"

namespace Autostart {

namespace {

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

}

QString entryPath()
{
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString configHome = QDir::isAbsolutePath(configured) ? configured : HomeDir::path() + QStringLiteral("/.config");
    return configHome + QStringLiteral("/autostart/quillo.desktop");
}

bool isEnabled()
{
    return QFileInfo::exists(entryPath());
}

bool setEnabled(bool enabled, const QString& program)
{
    const QString path = entryPath();
    if (!enabled)
        return !QFileInfo::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Quillo\nExec=%1\nIcon=quillo\nTerminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n").arg(quotedArgument(program));
    file.write(entry.toUtf8());
    return file.commit();
}

}
