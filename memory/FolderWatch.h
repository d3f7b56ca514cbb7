#pragma once

#include <functional>
#include <thread>

#include <QString>
#include <QStringList>

// Calls `changed` on a thread of its own soon after any process creates, writes, renames or
// removes one of the named files in the folder; a burst of such events makes one call. Watches
// nothing when the folder cannot be watched (missing, or the system's watches used up).
class FolderWatch {
public:
    FolderWatch(const QString& dir, const QStringList& names, std::function<void()> changed);
    // Once it returns, `changed` is not running and is never called again.
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

private:
    void run(std::stop_token stop, int inotify, QStringList names);

    std::function<void()> m_changed;
    int m_wake = -1;
    std::jthread m_thread;
};
