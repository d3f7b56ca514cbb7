#pragma once

#include <chrono>
#include <csignal>
#include <thread>

#include <sys/prctl.h>
#include <sys/wait.h>

#include <QDir>
#include <QFileInfo>

#include "tests/support/Files.h"

// Watching processes from a test: who a process's children are, and whether one is gone.
namespace ChildProcesses {

// The fields of /proc/<pid>/stat after the command name: state, ppid, …
inline QList<QByteArray> statFields(pid_t pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype nameEnd = stat.lastIndexOf(')');
    return nameEnd < 0 ? QList<QByteArray>() : stat.mid(nameEnd + 2).split(' ');
}

inline bool isLiving(pid_t pid)
{
    const QList<QByteArray> fields = statFields(pid);
    return !fields.isEmpty() && fields[0] != "Z" && fields[0] != "X"; // neither a zombie nor dead
}

// The living processes for which the predicate holds.
inline QList<pid_t> living(const std::function<bool(pid_t)>& matches)
{
    QList<pid_t> found;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isNumber = false;
        const pid_t pid = entry.toInt(&isNumber);
        if (isNumber && matches(pid) && isLiving(pid))
            found.append(pid);
    }
    return found;
}

// Makes this process adopt the orphans of its descendants, so a test can reap (and, if it must,
// kill) an engine whose parent died instead of losing sight of it.
inline void adoptOrphans()
{
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

inline QList<pid_t> childrenOf(pid_t parent)
{
    return living([parent](pid_t pid) {
        const QList<QByteArray> fields = statFields(pid);
        return fields.size() > 1 && fields[1].toInt() == parent;
    });
}

// The processes running the executable at `path`.
inline QList<pid_t> running(const QString& path)
{
    return living(
        [&path](pid_t pid) { return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == path; });
}

// Waits until the process has exited (reaping it when it is ours); true when it did in time.
inline bool waitGone(pid_t pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        ::waitpid(pid, nullptr, WNOHANG);
        if (!isLiving(pid))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// SIGKILLs the process and reaps it, for clean-up after a failed expectation.
inline void killAndReap(pid_t pid)
{
    ::kill(pid, SIGKILL), waitGone(pid, std::chrono::seconds(5));
}

}
