#pragma once

#include <functional>

#include <QString>
#include <QUrl>

#include "settings/AppSettings.h"

// Keeps ~/.selvane/config.json and a process-wide cached copy of it. Safe to call from any
// thread; readers get copies, so nobody ever sees a partly replaced record.
class SettingsStore {
public:
    // The cached record, or the file read anew when there is no cache or forceReload is set.
    // Never fails: a missing file gives the defaults; a wrong-typed setting gives its own default
    // alone; a file that cannot be read at all is moved aside and gives the defaults. Whatever
    // was not used is recorded in DataNotices for the user.
    static AppSettings load(bool forceReload = false);

    // Caches the record, then writes the file (0600, atomically). A file that exists but could
    // not be wholly read is first moved aside so the user's text is never lost. False when
    // writing failed.
    static bool save(const AppSettings& settings);

    // Calls the listener after every successful save, with the record saved, on the saving
    // thread and outside the store's locks (so it may load or save itself). Returns the id that
    // removes it; once removeChangeListener returns, the listener is not running and never runs.
    static int addChangeListener(std::function<void(const AppSettings&)> listener);
    static void removeChangeListener(int id);

    static QString path();
    static QUrl url();

    // Forgets the cached record (used when HOME changes under a test).
    static void resetCache();
};
