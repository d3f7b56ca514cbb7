#include "settings/SettingsStore.h"

#include <memory>
#include <mutex>
#include <optional>

#include <QFile>
#include <QFileInfo>
#include <QMap>

#include "settings/HomeDir.h"
#include "settings/PrivateFile.h"
#include "settings/SettingsCodec.h"

namespace {

// The file lock orders whole load/save operations so the cache always matches the last write;
// the cache lock is held only while a record is copied in or out.
std::mutex fileMutex;
std::mutex cacheMutex;
std::optional<AppSettings> cache;

// A listener runs under its own lock, which removal takes too: once removed it is not running
// and never runs again. Recursive, so a listener may save or remove itself.
struct Listener {
    std::function<void(const AppSettings&)> call;
    std::recursive_mutex running;
    bool removed = false;
};

std::mutex listenersMutex;
QMap<int, std::shared_ptr<Listener>> listeners;
int lastListenerId = 0;

void notifyListeners(const AppSettings& settings)
{
    QList<std::shared_ptr<Listener>> current;
    {
        std::lock_guard lock(listenersMutex);
        current = listeners.values();
    }
    for (const std::shared_ptr<Listener>& listener : std::as_const(current)) {
        std::lock_guard lock(listener->running);
        if (!listener->removed)
            listener->call(settings);
    }
}

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
    {
        std::lock_guard fileLock(fileMutex);
        {
            std::lock_guard lock(cacheMutex);
            cache = settings;
        }
        const QString file = path();
        PrivateFile::ensureDirectory(HomeDir::dataDir());
        // Never replace what the user wrote and we could not read.
        if (!moveAsideIfUndecodable(file) || !PrivateFile::writeAtomically(file, SettingsCodec::encode(settings)))
            return false;
    }
    notifyListeners(settings);
    return true;
}

int SettingsStore::addChangeListener(std::function<void(const AppSettings&)> listener)
{
    auto entry = std::make_shared<Listener>();
    entry->call = std::move(listener);
    std::lock_guard lock(listenersMutex);
    listeners.insert(++lastListenerId, std::move(entry));
    return lastListenerId;
}

void SettingsStore::removeChangeListener(int id)
{
    std::shared_ptr<Listener> removed;
    {
        std::lock_guard lock(listenersMutex);
        removed = listeners.take(id);
    }
    if (!removed)
        return;
    std::lock_guard lock(removed->running);
    removed->removed = true;
}

void SettingsStore::resetCache()
{
    std::lock_guard lock(cacheMutex);
    cache.reset();
}
