#pragma once

#include <QString>

// What /proc and the kernel tell about a process, the same in every session.
namespace ProcessInfo {

// The process's command name (/proc/PID/comm); empty when it cannot be read.
QString commandName(qint64 pid);
// Whether the process exists, ours or another user's.
bool isRunning(qint64 pid);

}
