#include "settings/AppBundle.h"

#include <dlfcn.h>

#include <mutex>

#include <QDebug>
#include <QDir>
#include <QFile>
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

void* AppBundle::moduleSymbol(const char* fileName, const char* symbol)
{
    const QByteArray path = QFile::encodeName(QDir::cleanPath(
        executableDir() + QStringLiteral("/" QUILLO_MODULES_FROM_BIN "/") + QString::fromUtf8(fileName)));
    // Loading a loaded module again only finds it.
    void* module = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    void* address = module ? dlsym(module, symbol) : nullptr;
    if (!address)
        qWarning("quillo: %s", dlerror());
    return address;
}
