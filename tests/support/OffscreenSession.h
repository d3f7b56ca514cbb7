#pragma once

#include <functional>
#include <memory>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "tests/support/RunProgram.h"
#include "tests/support/ScopedEnv.h"

// A session without a desktop for the quillo program: a home and runtime folder of its own, no
// display (the tray draws off-screen), English texts and the given session bus address (a
// socket in the session's folder, which may well not exist). Set in this process's environment,
// so the programs it starts, and whatever the test asks itself, belong to the session.
class OffscreenSession {
public:
    static constexpr int generousMs = 60000;

    explicit OffscreenSession(const char* busName = "no-bus-here")
    {
        QDir().mkpath(runtimeDir());
        QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_bus = std::make_unique<ScopedEnv>("DBUS_SESSION_BUS_ADDRESS", busAddress(busName));
    }

    QByteArray busAddress(const char* busName) const
    {
        return "unix:path=" + QFile::encodeName(m_dir.path()) + '/' + busName;
    }
    QString home() const { return m_dir.path(); }
    QString dataDir() const { return m_dir.path() + QStringLiteral("/.selvane"); }
    QString runtimeDir() const { return m_dir.path() + QStringLiteral("/runtime"); }

    // A tray of this session, its output passed on to the test's; killed and reaped when the
    // pointer goes.
    std::unique_ptr<QProcess> startTray() const
    {
        auto tray = std::make_unique<QProcess>();
        tray->setProcessChannelMode(QProcess::ForwardedChannels);
        tray->start(quilloBinary(), {});
        tray->waitForStarted(generousMs);
        return tray;
    }

    ProgramResult run(const QStringList& args) const
    {
        return runProgram(quilloBinary(), args, QProcessEnvironment::systemEnvironment(), {}, generousMs);
    }

    // Polls the condition until it holds, for a minute at most.
    static bool waitFor(const std::function<bool()>& condition)
    {
        for (int waited = 0; !condition(); waited += 20) {
            if (waited >= generousMs)
                return false;
            QThread::msleep(20);
        }
        return true;
    }

private:
    QTemporaryDir m_dir;
    ScopedEnv m_home{"HOME", QFile::encodeName(m_dir.path())};
    ScopedEnv m_runtime{"XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir())};
    ScopedEnv m_display{"DISPLAY", QByteArray()};
    ScopedEnv m_wayland{"WAYLAND_DISPLAY", QByteArray()};
    ScopedEnv m_platform{"QT_QPA_PLATFORM", "offscreen"};
    ScopedEnv m_language{"SELVANE_UI_LANG", "en"};
    std::unique_ptr<ScopedEnv> m_bus;
};
