#pragma once

#include <functional>
#include <stop_token>
#include <utility>

#include <QCoreApplication>
#include <QPointer>

#include "core/TaskPool.h"

// Runs `work` on the pool and hands its result to `done` on the main thread, unless the context
// object is gone by then or the task was stopped.
template<typename Result>
void inBackground(TaskPool& tasks, QObject* context, std::function<Result(std::stop_token)> work, std::function<void(Result)> done)
{
    tasks.start([context = QPointer<QObject>(context), work = std::move(work), done = std::move(done)](std::stop_token stop) {
        Result result = work(stop);
        if (stop.stop_requested())
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [context, done, result = std::move(result)] {
                if (context)
                    done(result);
            },
            Qt::QueuedConnection);
    });
}
