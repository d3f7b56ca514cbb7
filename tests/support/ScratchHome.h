#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

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

private:
    QTemporaryDir m_dir;
    QByteArray m_savedHome;
    bool m_hadHome;
};
