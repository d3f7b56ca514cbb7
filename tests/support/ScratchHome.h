#pragma once

#include <functional>

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include "settings/AppSettings.h"

// Points HOME at a fresh temporary directory for the lifetime of the object and forgets the
// cached settings, so a test never touches the real home directory.
class ScratchHome {
public:
    ScratchHome();
    ~ScratchHome();
    ScratchHome(const ScratchHome&) = delete;
    ScratchHome& operator=(const ScratchHome&) = delete;

    QString path() const { return m_dir.path(); }
    QString dataDir() const { return m_dir.path() + QStringLiteral("/.selvane"); }
    // This process's environment with HOME pointing here, for a child that is to use this home.
    QProcessEnvironment environment() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_savedHome;
    bool m_hadHome;
};

// Loads the settings, lets `change` edit them and saves them; a save that fails fails the test.
void changeSettings(const std::function<void(AppSettings&)>& change);
