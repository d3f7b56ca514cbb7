#pragma once

#include <chrono>

#include <sys/types.h>

#include <QString>
#include <QStringList>

// The one engine process this program starts and owns. It is started with a parent-death signal,
// so it cannot outlive us even after a crash; that signal fires when the forking *thread* ends,
// so every start happens on one thread that lives as long as the process. Safe from any thread.
namespace EngineProcess {

struct Launch {
    QString program;
    QStringList arguments;
    QStringList environment; // "NAME=value", the whole environment of the child
    QString logFile;         // standard output and error, emptied first; empty: inherit ours
};

// Starts the program unless the recorded process still runs; true when it runs afterwards.
bool start(const Launch& launch);

// The recorded process has not exited. A process found dead is reaped and forgotten.
bool isRunning();

// Sends SIGTERM, waits (looking every 10 ms) up to `grace`, then SIGKILL; reaps the process.
void terminate(std::chrono::milliseconds grace);

// The running process's id, 0 when none. Async-signal-safe.
pid_t pid() noexcept;

}
