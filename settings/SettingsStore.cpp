#include "settings/SettingsStore.h"

#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include <QFile>
#include <QFileInfo>
#include <QMap>

#include "settings/DataNotices.h"
#include "settings/HomeDir.h"
#include "settings/PrivateFile.h"
#include "settings/SettingsCodec.h"

namespace {

// The file lock orders whole load/save operations so the cache always matches the last write;
// the cache lock is held only while a record is copied in or out.
std::mutex fileMutex;
std::mutex cacheMutex;
std::optional<AppSettings> cache;
// The file last told about: the settings are read again at every shortcut press, and the user
// hears about the same unusable settings once.
QByteArray toldAbout;

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

// What config.json holds: nothing, something we cannot use at all, or a record (perhaps with
// some settings left at their defaults).
struct FileContent {
    enum class Kind { missing, unreadable, decoded } kind;
    SettingsCodec::Decoded decoded;
    QByteArray bytes;
};

FileContent readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QFileInfo::exists(path) ? FileContent::Kind::unreadable : FileContent::Kind::missing, {}, {}};
    const QByteArray bytes = file.readAll();
    std::optional<SettingsCodec::Decoded> decoded = SettingsCodec::decode(bytes);
    if (!decoded)
        return {FileContent::Kind::unreadable, {}, bytes};
    return {FileContent::Kind::decoded, std::move(*decoded), bytes};
}

// Renames the file out of the way and tells the user where it went. False when it is still there.
bool keepAside(const QString& path)
{
    const QString aside = PrivateFile::moveAside(path);
    if (!aside.isEmpty()) {
        DataNotices::fileKeptAside(path, aside);
        return true;
    }
    if (!QFileInfo::exists(path))
        return true; // another process took it away first and told its user
    DataNotices::fileUnreadable(path);
    return false;
}

// The record the file gives, the user told about whatever in it could not be used. A file that
// cannot be used at all is kept aside at once, so nothing later writes over it.
AppSettings readAndReport(const QString& path)
{
    const FileContent content = readFile(path);
    switch (content.kind) {
    case FileContent::Kind::missing: break;
    case FileContent::Kind::unreadable: keepAside(path); break;
    case FileContent::Kind::decoded:
        if (content.bytes != std::exchange(toldAbout, content.bytes))
            for (const QString& key : content.decoded.ignoredKeys)
                DataNotices::settingIgnored(path, key);
        return content.decoded.settings;
    }
    return AppSettings();
}

// False when a file we could not wholly read is in the way and could not be moved aside: what
// the user wrote there is never replaced.
bool clearWayForSave(const QString& path)
{
    const FileContent content = readFile(path);
    const bool whole = content.kind == FileContent::Kind::missing
        || (content.kind == FileContent::Kind::decoded && content.decoded.ignoredKeys.isEmpty());
    return whole || keepAside(path);
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
    // Every process reads the settings first, so a folder left open to others is closed here.
    HomeDir::tightenDataDir();
    AppSettings settings = readAndReport(path());
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
        HomeDir::ensureDataDir();
        if (!clearWayForSave(file) || !PrivateFile::writeAtomically(file, SettingsCodec::encode(settings)))
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
    std::lock_guard fileLock(fileMutex);
    toldAbout.clear();
    std::lock_guard lock(cacheMutex);
    cache.reset();
}
