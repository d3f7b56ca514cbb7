#include "tests/support/DesktopSession.h"

#include <csignal>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QThread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "tests/support/RunProgram.h"

namespace {

constexpr int startTimeoutMs = 15000;

// Forks the guard: it leads a new process group, ignores SIGTERM (aimed at the group), and
// kills the whole group once the write end of the pipe closes, which happens when the session
// ends and when the test process dies. Only async-signal-safe calls run in the child.
int startGuard(int* pipeOut)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        signal(SIGTERM, SIG_IGN);
        close(fds[1]);
        char byte;
        while (read(fds[0], &byte, 1) != 0) {
        }
        kill(0, SIGKILL);
        _exit(0);
    }
    close(fds[0]);
    if (pid < 0) {
        close(fds[1]);
        return -1;
    }
    setpgid(pid, pid); // also from here, so the group exists before the first client joins it
    *pipeOut = fds[1];
    return pid;
}

quint32 cardinal(xcb_connection_t* c, xcb_window_t window, const char* name)
{
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr);
    if (!atom)
        return 0;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, atom->atom, XCB_ATOM_ANY, 0, 1), nullptr);
    free(atom);
    quint32 value = 0;
    if (reply && xcb_get_property_value_length(reply) >= 4)
        value = *static_cast<const quint32*>(xcb_get_property_value(reply));
    free(reply);
    return value;
}

template<typename Condition>
bool waitFor(Condition condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(20);
    }
    return true;
}

}

DesktopSession::DesktopSession()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("home"));
    QDir(m_dir.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(m_dir.path() + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_guardPid = startGuard(&m_guardPipe);
    if (m_guardPid < 0) {
        fail(QStringLiteral("cannot start the process guard"));
        return;
    }
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("HOME"), homePath());
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path() + QStringLiteral("/runtime"));
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), homePath() + QStringLiteral("/.config"));
    for (const char* name : {"AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY", "SESSION_MANAGER", "QT_QPA_PLATFORM",
                             "QT_LINUX_ACCESSIBILITY_ALWAYS_ON"})
        m_environment.remove(QString::fromLatin1(name));
    if (!startServer() || !startBus() || !startWindowManager() || !startAccessibilityBus())
        return;
    for (const char* name : {"DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"})
        qputenv(name, m_environment.value(QString::fromLatin1(name)).toLocal8Bit());
    for (const char* name : {"AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON"})
        qunsetenv(name);
}

DesktopSession::~DesktopSession()
{
    if (m_guardPid > 0)
        kill(-m_guardPid, SIGTERM);
    for (const auto& process : m_processes)
        process->waitForFinished(2000);
    if (m_guardPipe >= 0)
        close(m_guardPipe); // the guard kills whatever is left, then itself
    if (m_guardPid > 0)
        waitpid(m_guardPid, nullptr, 0);
    for (const auto& process : m_processes)
        process->waitForFinished(2000);
}

void DesktopSession::fail(const QString& reason)
{
    if (m_failure.isEmpty())
        m_failure = reason;
}

QProcess* DesktopSession::start(const QString& program, const QStringList& args, const QProcessEnvironment& extra,
                                bool readOutput)
{
    auto process = std::make_unique<QProcess>();
    process->setStandardErrorFile(QProcess::nullDevice());
    if (!readOutput)
        process->setStandardOutputFile(QProcess::nullDevice());
    QProcessEnvironment environment = m_environment;
    environment.insert(extra);
    process->setProcessEnvironment(environment);
    const pid_t group = m_guardPid;
    process->setChildProcessModifier([group] { setpgid(0, group); });
    process->start(program, args);
    if (!process->waitForStarted(startTimeoutMs))
        return nullptr;
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

void DesktopSession::stop(QProcess* process)
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(3000)) {
        process->kill();
        process->waitForFinished(3000);
    }
}

bool DesktopSession::startServer()
{
    // -displayfd: the server picks a free display and writes its number once it accepts clients.
    QProcess* server = start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                      QStringLiteral("-screen"), QStringLiteral("0"),
                                                      QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                                                      QStringLiteral("tcp")}, {}, true);
    if (!server || !waitFor([&] { server->waitForReadyRead(50); return server->canReadLine(); }, startTimeoutMs)) {
        fail(QStringLiteral("Xvfb did not start"));
        return false;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(server->readLine().trimmed());
    m_environment.insert(QStringLiteral("DISPLAY"), m_display);
    return true;
}

bool DesktopSession::startBus()
{
    const QString address = QStringLiteral("unix:path=") + m_dir.path() + QStringLiteral("/runtime/bus");
    QProcess* bus = start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                          QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1"),
                                                          QStringLiteral("--address=") + address}, {}, true);
    if (!bus || !waitFor([&] { bus->waitForReadyRead(50); return bus->canReadLine(); }, startTimeoutMs)) {
        fail(QStringLiteral("the D-Bus session bus did not start"));
        return false;
    }
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(bus->readLine().trimmed()));
    return true;
}

bool DesktopSession::startWindowManager()
{
    if (!start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")})) {
        fail(QStringLiteral("openbox did not start"));
        return false;
    }
    const QByteArray display = m_display.toLocal8Bit();
    xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // Without a window manager no window ever gets the focus.
    const bool running = waitFor([&] { return cardinal(c, root, "_NET_SUPPORTING_WM_CHECK") != 0; }, startTimeoutMs);
    xcb_disconnect(c);
    if (!running)
        fail(QStringLiteral("openbox did not take over the screen"));
    return running;
}

bool DesktopSession::startAccessibilityBus()
{
    if (!start(QStringLiteral("/usr/libexec/at-spi-bus-launcher"), {QStringLiteral("--launch-immediately")})) {
        fail(QStringLiteral("at-spi-bus-launcher did not start"));
        return false;
    }
    // Toolkits look for the accessibility bus when they start, so clients must wait for it.
    const QStringList ask = {QStringLiteral("--bus=") + m_environment.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")),
                             QStringLiteral("--print-reply"), QStringLiteral("--dest=org.freedesktop.DBus"),
                             QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                             QStringLiteral("string:org.a11y.Bus")};
    const bool running = waitFor([&] {
        return runProgram(QStringLiteral("dbus-send"), ask, m_environment).out.contains("boolean true");
    }, startTimeoutMs);
    if (!running)
        fail(QStringLiteral("the accessibility bus did not start"));
    return running;
}

qint64 DesktopSession::activeWindowPid() const
{
    const QByteArray display = m_display.toLocal8Bit();
    xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return 0;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const quint32 window = cardinal(c, root, "_NET_ACTIVE_WINDOW");
    const qint64 pid = window ? cardinal(c, window, "_NET_WM_PID") : 0;
    xcb_disconnect(c);
    return pid;
}

bool DesktopSession::waitUntilActive(qint64 pid, int timeoutMs) const
{
    return waitFor([&] { return activeWindowPid() == pid; }, timeoutMs);
}
