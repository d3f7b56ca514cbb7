#pragma once

#include <functional>
#include <mutex>
#include <stop_token>
#include <type_traits>
#include <utility>

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

// Background tasks owned by whoever must outlive them (the composition root, in the program).
// Every task gets a stop token that fires when its caller's token does or when the pool shuts
// down; destroying the pool stops every task and waits for them, so tasks must notice their
// token promptly. Whoever only starts a task (a session, a window) never waits for it.
//
// The one way to do slow work for the interface is run(): the work on a pool thread, its result
// on the GUI thread while the context object still lives. toGui() carries what a running task
// reports on its way (stream fragments, progress) by the same road.
class TaskPool {
public:
    explicit TaskPool(int maxThreads = 4);
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    using Work = std::function<void(std::stop_token)>;

    // Runs the work on a pool thread and forgets it. After shutdown the work is dropped.
    void start(Work work, std::stop_token callerStop = {});

    // Runs work(token) on a pool thread, then done(result) (done() for work without a result) on
    // the GUI thread. Nothing is handed back when the task was stopped (by `stop` or the pool),
    // when `stop` fires before the result arrives, or when `context` is gone by then.
    template <class Job, class Done>
    void run(QObject* context, Job work, Done done, std::stop_token stop = {});

    // Calls apply() on the GUI thread later, unless `context` is gone or `stop` fired by then.
    // Callable from any thread; off the GUI thread, pass a guard made on it (a QPointer is made
    // safely only where its object lives). The call travels through the application object,
    // which outlives every context, so nothing is ever delivered to a destroyed object.
    template <class Apply>
    static void toGui(QPointer<QObject> context, Apply apply, std::stop_token stop = {});

    // Asks every task to stop and waits for all of them. Later tasks are dropped.
    void shutdown();

    // Waits for the tasks started so far (tests and benchmarks).
    void waitForDone();

private:
    std::mutex m_lock;
    std::stop_source m_shutdown;
    QThreadPool m_threads;
};

template <class Apply>
void TaskPool::toGui(QPointer<QObject> context, Apply apply, std::stop_token stop)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [context = std::move(context), apply = std::move(apply), stop = std::move(stop)]() mutable {
            if (context && !stop.stop_requested())
                apply();
        },
        Qt::QueuedConnection);
}

template <class Job, class Done>
void TaskPool::run(QObject* context, Job work, Done done, std::stop_token stop)
{
    start(
        [context = QPointer<QObject>(context), work = std::move(work), done = std::move(done),
         stop](std::stop_token task) mutable {
            if constexpr (std::is_void_v<std::invoke_result_t<Job&, std::stop_token>>) {
                work(task);
                if (!task.stop_requested())
                    toGui(context, std::move(done), stop);
            } else {
                auto result = work(task);
                if (!task.stop_requested())
                    toGui(
                        context,
                        [done = std::move(done), result = std::move(result)]() mutable { done(std::move(result)); },
                        stop);
            }
        },
        stop);
}
