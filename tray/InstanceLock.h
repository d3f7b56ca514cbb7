#pragma once

#include <QString>

// The single-instance guard that needs no session bus: a lock on a file in $XDG_RUNTIME_DIR (or
// in ~/.selvane when there is none), one per display, held by the running tray for its whole
// run and let go by the kernel whatever way the process ends. An open-file-description lock
// (fcntl), so others can ask whether it is held without taking it even for a moment.
class InstanceLock {
public:
    enum class Outcome { acquired, heldElsewhere, unavailable };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // `unavailable` when the lock file cannot be made or locked at all.
    Outcome acquire();
    void release();

    // Whether another process holds the lock of this display now.
    static bool heldElsewhere();
    static QString path();

private:
    int m_fd = -1;
};
