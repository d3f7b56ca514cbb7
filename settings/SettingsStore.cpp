#include "settings/SettingsStore.h"

#include <mutex>
#include <optional>

#include <QFile>
#include <QFileInfo>

#include "settings/HomeDir.h"
#include "settings/PrivateFile.h"
#include "settings/SettingsCodec.h"

namespace {

// The file lock orders whole load/save operations so the cache always matches the last write;
// the cache lock is held only while a record is copied in or out.
std::mutex fileMutex;
std::mutex cacheMutex;
std::optional<AppSettings> cache;

std::optional<AppSettings> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return SettingsCodec::decode(file.readAll());
}

// False when an undecodable file is in the way and could not be moved aside.
bool moveAsideIfUndecodable(const QString& path)
{
    return !QFileInfo::exists(path) || readFile(path) || !PrivateFile::moveAside(path).isEmpty();
}

}

QString SettingsStore::path()
{
    return HomeDir::dataDir() + QStringLiteral("/config.json");
}

QUrl SettingsStore::url()
{
    return QUrl::fromLocalFile(path());
}

AppSettings SettingsStore::load(bool forceReload)
{
    if (!forceReload) {
        std::lock_guard lock(cacheMutex);
        if (cache)
            return *cache;
    }
    std::lock_guard fileLock(fileMutex);
    AppSettings settings = readFile(path()).value_or(AppSettings());
    SettingsCodec::bringForwardDoubaoFields(settings);
    std::lock_guard lock(cacheMutex);
    if (!forceReload && cache)
        return *cache;
    cache = settings;
    return settings;
}

bool SettingsStore::save(const AppSettings& settings)
{
    std::lock_guard fileLock(fileMutex);
    {
        std::lock_guard lock(cacheMutex);
        cache = settings;
    }
    const QString file = path();
    PrivateFile::ensureDirectory(HomeDir::dataDir());
    // Never replace what the user wrote and we could not read.
    return moveAsideIfUndecodable(file) && PrivateFile::writeAtomically(file, SettingsCodec::encode(settings));
}

void SettingsStore::resetCache()
{
    std::lock_guard lock(cacheMutex);
    cache.reset();
}
