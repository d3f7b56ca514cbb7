#pragma once

#include <functional>

#include <gtest/gtest.h>

#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "tests/support/ScopedEnv.h"

// Points HOME at a fresh temporary directory for the lifetime of the object and forgets the
// cached settings, so a test never touches the real home directory.
class ScratchHome {
public:
    ScratchHome() { forget(); }
    ~ScratchHome() { forget(); }

    QString path() const { return m_dir.path(); }
    QString dataDir() const { return m_dir.path() + QStringLiteral("/.selvane"); }
    // This process's environment, HOME pointing here, for a child that is to use this home.
    static QProcessEnvironment environment() { return QProcessEnvironment::systemEnvironment(); }

private:
    static void forget()
    {
        SettingsStore::resetCache();
        L10n::invalidate();
    }

    QTemporaryDir m_dir;
    ScopedEnv m_home{"HOME", QFile::encodeName(m_dir.path())};
};

// Loads the settings, lets `change` edit them and saves them; a save that fails fails the test.
inline void changeSettings(const std::function<void(AppSettings&)>& change)
{
    AppSettings settings = SettingsStore::load();
    change(settings);
    ASSERT_TRUE(SettingsStore::save(settings));
}
