#include "settings/AppBundle.h"

#include <mutex>

#include <QDir>
#include <QFileInfo>

namespace {

std::mutex overrideMutex;
QString overrideDir;

// Read from the kernel rather than QCoreApplication, so it works before (or without) one.
QString executableDir()
{
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
}

}

QString AppBundle::resourceDir()
{
    {
        std::lock_guard lock(overrideMutex);
        if (!overrideDir.isEmpty())
            return overrideDir;
    }
    return QDir::cleanPath(executableDir() + QStringLiteral("/" QUILLO_RESOURCES_FROM_BIN));
}

void AppBundle::setResourceDir(const QString& dir)
{
    std::lock_guard lock(overrideMutex);
    overrideDir = dir;
}
