#pragma once

#include <QByteArray>
#include <QString>

// What /proc and the kernel tell about a process, the same in every session.
namespace ProcessInfo {

// The process's command name (/proc/PID/comm); empty when it cannot be read.
QString commandName(qint64 pid);
// Whether the process exists, ours or another user's.
bool isRunning(qint64 pid);
// Whether a program of that name (window class or command name) is a terminal, where Control+C
// interrupts instead of copying.
bool isTerminalName(const QByteArray& name);

}
