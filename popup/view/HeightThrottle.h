#pragma once

#include <QtGlobal>

// At most one height measurement per interval while text streams in, and one catch-up at the
// end when a measurement was skipped.
class HeightThrottle {
public:
    static constexpr qint64 intervalMs = 150;

    void reset() { m_lastSyncMs = -1, m_dirty = false; }

    // Whether to measure now; a skipped one is remembered for the end.
    bool syncNow(qint64 nowMs)
    {
        if (m_lastSyncMs >= 0 && nowMs - m_lastSyncMs < intervalMs) {
            m_dirty = true;
            return false;
        }
        m_lastSyncMs = nowMs;
        m_dirty = false;
        return true;
    }

    // Whether the stream's end must measure once more; clears the flag.
    bool catchUpDue()
    {
        const bool due = m_dirty;
        m_dirty = false;
        return due;
    }

private:
    qint64 m_lastSyncMs = -1;
    bool m_dirty = false;
};
