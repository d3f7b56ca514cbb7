#pragma once

#include <utility>

#include <QByteArray>
#include <QByteArrayView>

#include "engines/http/Http.h"

namespace Http {

// Cuts a streamed body into lines for a LineHandler, whatever pieces it arrives in. Inline, as
// both transports use it and one of them lives in a module of its own.
class BodyLines {
public:
    explicit BodyLines(const LineHandler& onLine)
        : m_onLine(onLine)
    {
    }

    // False once the handler asked to stop.
    bool take(QByteArrayView bytes)
    {
        m_pending.append(bytes);
        qsizetype start = 0;
        for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n', start)) {
            QByteArray line = m_pending.sliced(start, end - start);
            start = end + 1;
            if (line.endsWith('\r'))
                line.chop(1);
            if (!m_onLine(line)) {
                m_pending.clear();
                return false;
            }
        }
        m_pending.remove(0, start);
        return true;
    }

    // The body ended: its last line is passed even without a line feed.
    void finish()
    {
        if (m_pending.endsWith('\r'))
            m_pending.chop(1);
        if (!m_pending.isEmpty())
            m_onLine(std::exchange(m_pending, {}));
    }

private:
    const LineHandler& m_onLine;
    QByteArray m_pending; // the unfinished line
};

}
