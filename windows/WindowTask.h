#pragma once

#include <functional>
#include <stop_token>

#include <QCoreApplication>
#include <QPointer>

#include "core/TaskPool.h"

// Runs `work` on the pool and hands its result to `apply` on the GUI thread, only while `view`
// still exists: a window closed or destroyed meanwhile simply drops the result. The result is
// posted to the application object, which outlives every view, so no event is ever sent to a
// destroyed one.
template <class Result>
void runForView(TaskPool& pool, QObject* view, std::function<Result(std::stop_token)> work, std::function<void(Result)> apply,
                std::stop_token stop = {})
{
    QPointer<QObject> guard(view);
    pool.start([guard, work = std::move(work), apply = std::move(apply)](std::stop_token stop) {
        Result result = work(stop);
        if (stop.stop_requested())
            return;
        QMetaObject::invokeMethod(QCoreApplication::instance(), [guard, apply, result = std::move(result)] {
            if (guard)
                apply(result);
        }, Qt::QueuedConnection);
    }, std::move(stop));
}
