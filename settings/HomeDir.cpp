#include "settings/HomeDir.h"

#include <cerrno>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

bool HomeDir::ensureDataDir()
{
    const QString dir = dataDir();
    // Made with its final mode, so it is never open to others even for a moment.
    if (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno == ENOENT && QDir().mkpath(path()))
        ::mkdir(QFile::encodeName(dir).constData(), 0700);
    tightenDataDir();
    return QFileInfo(dir).isDir();
}

void HomeDir::tightenDataDir()
{
    const QByteArray dir = QFile::encodeName(dataDir());
    struct stat info;
    if (::lstat(dir.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()
        || (info.st_mode & 077) == 0)
        return;
    ::chmod(dir.constData(), info.st_mode & 0700);
}
