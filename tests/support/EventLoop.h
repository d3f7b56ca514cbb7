#pragma once

#include <functional>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

// Runs the Qt event loop until the condition holds or the time is up; returns the condition.
// The time is generous: a loaded machine may take seconds for what usually takes milliseconds.
inline bool processEventsUntil(const std::function<bool()>& condition, int timeoutMs = 15000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() >= timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// How long the other programs of a private desktop session (in-desktop.sh, in-wayland.sh) are
// given to do a thing, and processEventsUntil with that time.
constexpr int sessionWaitMs = 30000;
inline bool eventually(const std::function<bool()>& condition)
{
    return processEventsUntil(condition, sessionWaitMs);
}

inline void processEventsFor(int milliseconds)
{
    processEventsUntil([] { return false; }, milliseconds);
}
