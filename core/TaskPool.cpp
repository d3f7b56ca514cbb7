#include "core/TaskPool.h"

TaskPool::TaskPool(int maxThreads)
{
    m_threads.setMaxThreadCount(maxThreads);
}

TaskPool::~TaskPool()
{
    shutdown();
}

void TaskPool::start(Work work, std::stop_token callerStop)
{
    std::lock_guard lock(m_lock);
    if (m_shutdown.stop_requested())
        return;
    m_threads.start([work = std::move(work), callerStop = std::move(callerStop), poolStop = m_shutdown.get_token()] {
        std::stop_source taskStop;
        const std::stop_callback onCaller(callerStop, [&] { taskStop.request_stop(); });
        const std::stop_callback onPool(poolStop, [&] { taskStop.request_stop(); });
        if (!taskStop.stop_requested())
            work(taskStop.get_token());
    });
}

void TaskPool::shutdown()
{
    {
        std::lock_guard lock(m_lock);
        m_shutdown.request_stop();
    }
    m_threads.waitForDone();
}

void TaskPool::waitForDone()
{
    m_threads.waitForDone();
}
