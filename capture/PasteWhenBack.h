#pragma once

#include <chrono>
#include <functional>

#include <QObject>
#include <QTimer>

#include "platform/PlatformServices.h"

// Types Control+V into the application an answer belongs to, where keys land wherever the focus
// is (Wayland). Our panel has just closed and the desktop gives the focus back in its own time,
// so nothing is sent until that application is in front again, as the workspace sees it; the
// wait runs on the event loop, never blocking it. When it does not come back in time, nothing
// is sent at all. Main thread.
class PasteWhenBack final : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(bool pasted)>;

    static constexpr std::chrono::milliseconds backWithin{3000};
    static constexpr std::chrono::milliseconds lookEvery{40};

    explicit PasteWhenBack(QObject* parent = nullptr);

    // Readies the keys (the desktop may ask the user first), then waits for the target. done runs
    // once, unless cancelled first; a new start cancels the one before.
    void start(PlatformServices platform, qint64 targetPid, Done done);
    void cancel();
    bool waiting() const { return static_cast<bool>(m_done); }

private:
    void look();
    void finish(bool pasted);

    PlatformServices m_platform;
    qint64 m_target = 0;
    Done m_done;
    QTimer m_look;
    std::chrono::steady_clock::time_point m_deadline;
    int m_generation = 0; // tells a stale answer of the keys from the current one
};
