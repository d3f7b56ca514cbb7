#include "engines/ollama/EngineLogs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "settings/HomeDir.h"
#include "settings/PrivateFile.h"

namespace EngineLogs {

QString file(const char* name)
{
    const QString dir = HomeDir::dataDir() + QStringLiteral("/logs");
    if (!PrivateFile::ensureDirectory(HomeDir::dataDir()) || !PrivateFile::ensureDirectory(dir))
        return {};
    const QByteArray encoded = QFile::encodeName(dir);
    struct stat info { };
    if (::lstat(encoded.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return {};
    if ((info.st_mode & 07777) != 0700 && ::chmod(encoded.constData(), 0700) != 0)
        return {};
    return dir + QLatin1Char('/') + QLatin1String(name);
}

}
