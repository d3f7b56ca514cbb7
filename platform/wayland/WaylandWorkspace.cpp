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
        if (pid && *pid != getpid()) {
            m_lastFrontmost = *pid;
            return pid;
        }
    }
    const std::optional<qint64> pid = AtspiFocus::activeApplicationProcess();
    m_lastFrontmost = pid.value_or(0);
    return pid;
}

bool WaylandWorkspace::frontmostIsTerminal()
{
    std::optional<qint64> pid = m_compositorFocus ? m_compositorFocus() : std::nullopt;
    if (!pid && m_lastFrontmost != 0)
        pid = m_lastFrontmost.load();
    return pid && ProcessInfo::isTerminalName(ProcessInfo::commandName(*pid).toUtf8());
}

QString WaylandWorkspace::localizedName(qint64 pid)
{
    return ProcessInfo::commandName(pid);
}

bool WaylandWorkspace::isRunning(qint64 pid)
{
    return ProcessInfo::isRunning(pid);
}
