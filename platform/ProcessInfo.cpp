#include "platform/ProcessInfo.h"

#include <cerrno>
#include <csignal>

#include <QFile>
#include <QList>

namespace ProcessInfo {

QString commandName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (comm.open(QIODevice::ReadOnly))
        return QString::fromLocal8Bit(comm.readAll().trimmed());
    return {};
}

bool isRunning(qint64 pid)
{
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

bool isTerminalName(const QByteArray& name)
{
    static const QList<QByteArray> terminals = {"konsole", "alacritty", "kitty",   "tilix", "st",    "st-256color",
                                                "foot",    "guake",     "yakuake", "tilda", "sakura"};
    const QByteArray lower = name.toLower();
    // xterm, gnome-terminal, xfce4-terminal, terminator, wezterm, …
    return lower.contains("term") || lower.contains("rxvt") || terminals.contains(lower);
}

}
