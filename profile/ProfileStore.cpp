#include "profile/ProfileStore.h"

#include <mutex>

#include <QFile>
#include <QFileInfo>

#include "settings/HomeDir.h"
#include "settings/PrivateFile.h"

namespace {

std::mutex fileMutex;

std::optional<UserProfile> loadLocked()
{
    QFile file(ProfileStore::path());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return UserProfile::decode(file.readAll());
}

// Keeps the file as it is for the user when it could not be read in full, before it is replaced.
bool keepUnreadable(const QString& file)
{
    if (!QFileInfo::exists(file))
        return true;
    QFile stored(file);
    bool complete = false;
    const bool readable = stored.open(QIODevice::ReadOnly) && UserProfile::decode(stored.readAll(), &complete);
    if (complete)
        return true;
    return !(readable ? PrivateFile::copyAside(file) : PrivateFile::moveAside(file)).isEmpty();
}

bool saveLocked(const UserProfile& profile)
{
    const QString file = ProfileStore::path();
    PrivateFile::ensureDirectory(QFileInfo(PrivateFile::resolved(file)).absolutePath());
    return keepUnreadable(file) && PrivateFile::writeAtomically(file, profile.encode());
}

}

QString ProfileStore::path()
{
    const QString override = qEnvironmentVariable("SELVANE_PROFILE_FILE");
    if (!override.isEmpty())
        return override;
    return HomeDir::dataDir() + QStringLiteral("/profile.json");
}

std::optional<UserProfile> ProfileStore::load()
{
    std::lock_guard lock(fileMutex);
    return loadLocked();
}

bool ProfileStore::save(const UserProfile& profile)
{
    std::lock_guard lock(fileMutex);
    return saveLocked(profile);
}

bool ProfileStore::saveGenerated(const UserProfile& profile)
{
    std::lock_guard lock(fileMutex);
    const std::optional<UserProfile> stored = loadLocked();
    if (stored && stored->userEdited)
        return false;
    return saveLocked(profile);
}

void ProfileStore::clear()
{
    std::lock_guard lock(fileMutex);
    QFile::remove(path());
}
