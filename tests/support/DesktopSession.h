#pragma once

#include <memory>
#include <vector>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// A private X11 desktop for tests: Xvfb on a free display, the openbox window manager, a D-Bus
// session bus and the accessibility bus, all with a private runtime directory and home. Every
// process it starts joins one process group, watched by a small guard process that kills the
// whole group when the session ends — or when the test process dies without ending it.
//
// Create it before the Qt application object: it points this process's DISPLAY and session bus
// at the new desktop.
class DesktopSession {
public:
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    bool isReady() const { return m_failure.isEmpty(); }
    const QString& failure() const { return m_failure; }
    QString homePath() const { return m_dir.path() + QStringLiteral("/home"); }
    QProcessEnvironment environment() const { return m_environment; }

    // Starts a program inside the session (with extra variables); it ends with the session at
    // the latest. Its standard output is kept for reading when asked for, else discarded like its
    // errors (a full pipe would stall it). Null when it could not be started.
    QProcess* start(const QString& program, const QStringList& args,
                    const QProcessEnvironment& extra = QProcessEnvironment(), bool readOutput = false);
    // Ends one program started with start().
    void stop(QProcess* process);

    // The process id of the application whose window is active; 0 when none is.
    qint64 activeWindowPid() const;
    // Waits until a window of the process is active.
    bool waitUntilActive(qint64 pid, int timeoutMs = 10000) const;

private:
    bool startServer();
    bool startBus();
    bool startWindowManager();
    bool startAccessibilityBus();
    void fail(const QString& reason);

    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
    QString m_display;
    QString m_failure;
    int m_guardPid = -1;
    int m_guardPipe = -1; // closing it makes the guard kill the group
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// The session of an x11 test binary, started by its main (DesktopSessionMain.cpp) before the
// Qt application object and ended after it.
DesktopSession& testDesktop();
