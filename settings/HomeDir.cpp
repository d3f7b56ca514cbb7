#include "settings/HomeDir.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>

QString HomeDir::path()
{
    const QByteArray home = qgetenv("HOME");
    if (!home.isEmpty())
        return QString::fromLocal8Bit(home);
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return QString::fromLocal8Bit(entry->pw_dir);
    return QDir::rootPath();
}

QUrl HomeDir::url()
{
    return QUrl::fromLocalFile(path() + QLatin1Char('/'));
}

QString HomeDir::dataDir()
{
    return path() + QStringLiteral("/.selvane");
}
