#include "memory/FolderWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QFile>

namespace {

constexpr uint32_t watchedEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
// How long a burst of events (a fold renames, writes and removes several files) may take to
// settle into one call.
constexpr int settleMs = 20;

// Reads every pending event; true when one concerns a named file or the queue overflowed.
bool drain(int inotify, const QStringList& names)
{
    bool relevant = false;
    alignas(inotify_event) char buffer[16 << 10];
    for (;;) {
        const ssize_t got = ::read(inotify, buffer, sizeof buffer);
        if (got <= 0)
            return relevant;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            relevant = relevant || (event->mask & IN_Q_OVERFLOW)
                || (event->len > 0 && names.contains(QFile::decodeName(event->name)));
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

}

FolderWatch::FolderWatch(const QString& dir, const QStringList& names, std::function<void()> changed)
    : m_changed(std::move(changed))
{
    const int inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify < 0)
        return;
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0 || ::inotify_add_watch(inotify, QFile::encodeName(dir).constData(), watchedEvents) < 0) {
        ::close(inotify);
        return;
    }
    m_thread = std::jthread([this, inotify, names](std::stop_token stop) { run(stop, inotify, names); });
}

FolderWatch::~FolderWatch()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t woken = ::write(m_wake, &one, sizeof one);
        m_thread.join();
    }
    if (m_wake >= 0)
        ::close(m_wake);
}

void FolderWatch::run(std::stop_token stop, int inotify, QStringList names)
{
    pollfd fds[] = {{inotify, POLLIN, 0}, {m_wake, POLLIN, 0}};
    while (!stop.stop_requested()) {
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN))
            continue;
        if (!drain(inotify, names))
            continue;
        // Let the burst settle, gathering what else it brings; a steady stream of changes is
        // still told every few settling times.
        for (int round = 0;
             round < 10 && !stop.stop_requested() && ::poll(fds, 2, settleMs) > 0 && !(fds[1].revents & POLLIN);
             ++round)
            drain(inotify, names);
        if (!stop.stop_requested())
            m_changed();
    }
    ::close(inotify);
}
