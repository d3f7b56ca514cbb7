#include "platform/wayland/WaylandWorkspace.h"

#include <unistd.h>

#include "platform/ProcessInfo.h"
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
    return ProcessInfo::commandName(pid);
}

bool WaylandWorkspace::isRunning(qint64 pid)
{
    return ProcessInfo::isRunning(pid);
}
