#pragma once

#include <chrono>

#include <sys/types.h>

#include <QList>
#include <QString>

// Watching processes from a test: who a process's children are, and whether one is gone.
namespace ChildProcesses {

// Makes this process adopt the orphans of its descendants, so a test can reap (and, if it must,
// kill) an engine whose parent died instead of losing sight of it.
void adoptOrphans();

// The processes whose parent is `parent`, found in /proc.
QList<pid_t> childrenOf(pid_t parent);
// The processes running the executable at `path`.
QList<pid_t> running(const QString& path);

// Waits until the process has exited (reaping it when it is ours); true when it did in time.
bool waitGone(pid_t pid, std::chrono::milliseconds timeout);

// SIGKILLs the process and reaps it, for clean-up after a failed expectation.
void killAndReap(pid_t pid);

}
