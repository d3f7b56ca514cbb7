#pragma once

#include <functional>
#include <mutex>
#include <stop_token>

#include <QThreadPool>

// Background tasks owned by whoever must outlive them (the composition root, in the program).
// Every task gets a stop token that fires when its caller's token does or when the pool shuts
// down; destroying the pool stops every task and waits for them, so tasks must notice their
// token promptly. Whoever only starts a task (a session, a window) never waits for it.
class TaskPool {
public:
    explicit TaskPool(int maxThreads = 4);
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    using Work = std::function<void(std::stop_token)>;

    // Runs the work on a pool thread. After shutdown the work is dropped.
    void start(Work work, std::stop_token callerStop = {});

    // Asks every task to stop and waits for all of them. Later tasks are dropped.
    void shutdown();

    // Waits for the tasks started so far (tests and benchmarks).
    void waitForDone();

private:
    std::mutex m_lock;
    std::stop_source m_shutdown;
    QThreadPool m_threads;
};
