#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "tests/support/EventLoop.h"
#include "tests/support/ScopedEnv.h"

// A PulseAudio server of this test's own, whose only microphone is a pipe: what is written to
// fifo() is what the microphone hears (16 kHz mono signed 16-bit). This process talks to it
// through PULSE_SERVER, which must be set before Qt Multimedia first looks for devices.
class PrivatePulse {
public:
    PrivatePulse()
    {
        QFile script(m_dir.filePath(QStringLiteral("default.pa")));
        if (!script.open(QIODevice::WriteOnly))
            return;
        script.write(QStringLiteral("load-module module-native-protocol-unix socket=%1 auth-anonymous=1\n"
                                    "load-module module-null-sink\n"
                                    "load-module module-pipe-source source_name=mic file=%2 "
                                    "format=s16le rate=16000 channels=1\n"
                                    "set-default-source mic\n")
                         .arg(socket(), fifo())
                         .toUtf8());
        script.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // As root it warns that it is meant for a user session, and runs.
        m_server.start(QStringLiteral("pulseaudio"),
                       QStringLiteral("-n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes "
                                      "--log-level=error -F")
                               .split(u' ')
                           + QStringList{script.fileName()});
        m_ready = m_server.waitForStarted() && processEventsUntil([this] { return QFile::exists(fifo()); });
    }
    ~PrivatePulse()
    {
        m_server.terminate();
        if (!m_server.waitForFinished(3000))
            m_server.kill();
        m_server.waitForFinished();
    }

    bool isReady() const { return m_ready; }
    QString fifo() const { return m_dir.filePath(QStringLiteral("mic.fifo")); }
    // pactl against this server.
    bool pactl(const QStringList& args) const
    {
        QProcess process;
        process.start(QStringLiteral("pactl"), QStringList{QStringLiteral("--server=unix:") + socket()} + args);
        return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

private:
    QString socket() const { return m_dir.filePath(QStringLiteral("native")); }

    QTemporaryDir m_dir;
    ScopedEnv m_pulseServer{"PULSE_SERVER", QFile::encodeName(QStringLiteral("unix:") + socket())};
    QProcess m_server;
    bool m_ready = false;
};
