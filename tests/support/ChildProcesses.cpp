#include "tests/support/ChildProcesses.h"

#include <csignal>
#include <thread>

#include <sys/prctl.h>
#include <sys/wait.h>

#include <QDir>
#include <QFileInfo>

#include "tests/support/Files.h"

using namespace std::chrono_literals;

namespace ChildProcesses {

namespace {

QList<pid_t> processes()
{
    QList<pid_t> pids;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isNumber = false;
        const pid_t pid = entry.toInt(&isNumber);
        if (isNumber)
            pids.append(pid);
    }
    return pids;
}

// The fields of /proc/<pid>/stat after the command name: state, ppid, …
QList<QByteArray> statFields(pid_t pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype nameEnd = stat.lastIndexOf(')');
    return nameEnd < 0 ? QList<QByteArray>() : stat.mid(nameEnd + 2).split(' ');
}

bool isLiving(pid_t pid)
{
    const QList<QByteArray> fields = statFields(pid);
    return !fields.isEmpty() && fields[0] != "Z" && fields[0] != "X";
}

}

void adoptOrphans()
{
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

QList<pid_t> childrenOf(pid_t parent)
{
    QList<pid_t> children;
    for (const pid_t pid : processes()) {
        const QList<QByteArray> fields = statFields(pid);
        if (fields.size() > 1 && fields[1].toInt() == parent && isLiving(pid))
            children.append(pid);
    }
    return children;
}

QList<pid_t> running(const QString& path)
{
    QList<pid_t> found;
    for (const pid_t pid : processes()) {
        if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == path && isLiving(pid))
            found.append(pid);
    }
    return found;
}

bool waitGone(pid_t pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        ::waitpid(pid, nullptr, WNOHANG);
        if (!isLiving(pid))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
}

void killAndReap(pid_t pid)
{
    ::kill(pid, SIGKILL);
    waitGone(pid, 5s);
}

}
