#pragma once

#include <functional>
#include <memory>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "tests/support/EventLoop.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

// A session without a desktop for the quillo program: a home and runtime folder of its own, no
// display (the tray draws off-screen), English texts and no session bus (a PrivateBus made after
// it gives it one). Set in this process's environment, so the programs it starts, and whatever
// the test asks itself, belong to the session.
class OffscreenSession : public ScratchHome {
public:
    static constexpr int generousMs = 60000;

    OffscreenSession()
    {
        QDir().mkpath(runtimeDir());
        QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString runtimeDir() const { return path() + QStringLiteral("/runtime"); }

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
    static bool waitFor(const std::function<bool()>& condition) { return processEventsUntil(condition, generousMs); }

private:
    ScopedEnv m_runtime{"XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir())};
    ScopedEnv m_display{"DISPLAY", QByteArray()};
    ScopedEnv m_wayland{"WAYLAND_DISPLAY", QByteArray()};
    ScopedEnv m_platform{"QT_QPA_PLATFORM", "offscreen"};
    ScopedEnv m_language{"SELVANE_UI_LANG", "en"};
    ScopedEnv m_bus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(path()) + "/no-bus-here"};
};
