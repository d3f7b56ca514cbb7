#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScopedEnv.h"

// A session bus of the test's own (dbus-daemon in a scratch directory, starting no services of
// the machine, so no real portal answers) named by DBUS_SESSION_BUS_ADDRESS while the object
// lives, and the fake desktop portal on it (tests/support/fake_portal.py, which logs every call).
class PrivateBus {
public:
    PrivateBus()
        : m_address("unix:path=" + m_dir.path().toUtf8() + "/bus")
        , m_env("DBUS_SESSION_BUS_ADDRESS", m_address)
    {
        const QString config = m_dir.path() + QStringLiteral("/bus.conf");
        writeFile(config,
                  "<busconfig><type>session</type><listen>" + m_address
                      + "</listen>"
                        "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                        "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        m_daemon.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--nopidfile")});
        m_ready = m_daemon.waitForStarted()
            && processEventsUntil([this] { return QFile::exists(m_dir.path() + QStringLiteral("/bus")); }, 15000);
    }
    ~PrivateBus()
    {
        for (QProcess* process : {&m_portal, &m_daemon}) {
            process->kill();
            process->waitForFinished();
        }
    }

    bool isReady() const { return m_ready; }
    QString logPath() const { return m_dir.path() + QStringLiteral("/portal.log"); }
    QString log() const { return QString::fromUtf8(readFile(logPath())); }

    // Starts the fake portal with its options, anew with an empty log; true once it owns its name.
    bool startPortal(const QStringList& options)
    {
        stopPortal();
        m_portal.start(QStringLiteral("/usr/bin/python3"),
                       QStringList{QStringLiteral(QUILLO_TESTS_DIR "/support/fake_portal.py"), logPath()} + options);
        return m_portal.waitForStarted()
            && processEventsUntil([this] { return log().contains(QLatin1String("fake portal up")); }, 15000);
    }

    void stopPortal()
    {
        m_portal.kill();
        m_portal.waitForFinished();
        QFile::remove(logPath());
    }

    // The portal's test hook presses the shortcut of that id.
    static bool press(const QString& shortcutId)
    {
        QProcess send;
        send.start(QStringLiteral("dbus-send"),
                   arguments("--session --print-reply --dest=org.freedesktop.portal.Desktop /org/quillo/TestHook "
                             "org.quillo.TestHook.Press")
                       << QStringLiteral("string:") + shortcutId);
        return send.waitForFinished(15000) && send.exitStatus() == QProcess::NormalExit && send.exitCode() == 0;
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_address;
    ScopedEnv m_env;
    QProcess m_daemon;
    QProcess m_portal;
    bool m_ready = false;
};
