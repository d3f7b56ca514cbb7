#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include <QThread>

#include "core/TaskPool.h"
#include "tests/support/EventLoop.h"

namespace {

// Blocks its task until the task's token fires, and says whether it saw it.
struct Waiter {
    std::mutex lock;
    std::condition_variable_any changed;
    std::atomic<bool> started = false;
    std::atomic<bool> stopped = false;

    TaskPool::Work work()
    {
        return [this](std::stop_token stop) {
            std::unique_lock held(lock);
            started = true;
            changed.notify_all();
            changed.wait(held, stop, [] { return false; });
            stopped = stop.stop_requested();
        };
    }
    void waitUntilStarted()
    {
        std::unique_lock held(lock);
        changed.wait(held, [this] { return started.load(); });
    }
};

TEST(TaskPool, ATaskStopsWithItsCallerOrWithThePool)
{
    TaskPool pool(2);
    Waiter caller, shutdown;
    std::stop_source callerStop;
    pool.start(caller.work(), callerStop.get_token());
    pool.start(shutdown.work());
    caller.waitUntilStarted();
    shutdown.waitUntilStarted();

    callerStop.request_stop();
    pool.shutdown(); // returns only when both tasks have ended
    EXPECT_TRUE(caller.stopped && shutdown.stopped);

    bool ran = false;
    pool.start([&ran](std::stop_token) { ran = true; });
    pool.waitForDone();
    EXPECT_FALSE(ran) << "a pool that shut down runs nothing more";
}

// The result, and everything the task reported on its way, arrive on the GUI thread in the order
// sent; nothing reaches a context that is gone or a caller that stopped.
TEST(TaskPool, RunHandsTheResultToTheGuiThreadOnlyWhileItsContextLivesAndItsCallerWaits)
{
    TaskPool pool(2);
    QObject context;
    QStringList seen;
    QThread* gui = QThread::currentThread();
    pool.run(
        &context,
        [&context](std::stop_token) {
            for (const char* step : {"a", "b"})
                TaskPool::toGui(
                    &context, [&context, step] { context.setObjectName(context.objectName() + QLatin1String(step)); });
            return 42;
        },
        [&](int result) {
            EXPECT_EQ(QThread::currentThread(), gui);
            seen << context.objectName() + QString::number(result);
        });
    bool voidDone = false;
    pool.run(
        &context, [](std::stop_token) {}, [&] { voidDone = true; });
    ASSERT_TRUE(processEventsUntil([&] { return !seen.isEmpty() && voidDone; }));
    EXPECT_EQ(seen, QStringList{QStringLiteral("ab42")}) << "progress first, then the result";

    bool late = false;
    auto gone = std::make_unique<QObject>();
    std::stop_source caller;
    std::atomic<bool> release = false;
    const auto held = [&](std::stop_token) {
        while (!release)
            QThread::msleep(1);
        return 1;
    };
    pool.run(gone.get(), held, [&](int) { late = true; });
    pool.run(
        &context, held, [&](int) { late = true; }, caller.get_token());
    gone.reset();
    caller.request_stop();
    release = true;
    pool.waitForDone();
    bool flushed = false; // queued after anything the two tasks could have sent
    TaskPool::toGui(&context, [&] { flushed = true; });
    ASSERT_TRUE(processEventsUntil([&] { return flushed; }));
    EXPECT_FALSE(late) << "a destroyed context or a stopped caller gets nothing";
}

}
