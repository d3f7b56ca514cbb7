#include "platform/wayland/WaylandWorkspace.h"

#include <cerrno>
#include <csignal>

#include <QFile>

#include <unistd.h>

#include "platform/atspi/AtspiFocus.h"

WaylandWorkspace::WaylandWorkspace(CompositorFocus compositorFocus)
    : m_compositorFocus(std::move(compositorFocus))
{
}

std::optional<qint64> WaylandWorkspace::frontmostProcessId()
{
    if (m_compositorFocus) {
        // Our own panel in front says nothing about the application the user works in.
        const std::optional<qint64> pid = m_compositorFocus();
        if (pid && *pid != getpid())
            return pid;
    }
    return AtspiFocus::activeApplicationProcess();
}

QString WaylandWorkspace::localizedName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (comm.open(QIODevice::ReadOnly))
        return QString::fromLocal8Bit(comm.readAll().trimmed());
    return {};
}

bool WaylandWorkspace::isRunning(qint64 pid)
{
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}
