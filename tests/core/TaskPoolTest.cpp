#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "core/TaskPool.h"

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
    EXPECT_TRUE(caller.stopped);
    EXPECT_TRUE(shutdown.stopped);

    bool ran = false;
    pool.start([&ran](std::stop_token) { ran = true; });
    pool.waitForDone();
    EXPECT_FALSE(ran) << "a pool that shut down runs nothing more";
}

}
