#pragma once

#include <functional>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Reads an HTTP/1.1 response as its bytes arrive: the head (skipping interim 1xx ones), then the
// body in whichever framing the head names: chunked, a length, or up to the close. Pure parsing,
// no sockets, so that it can be driven by anything and fed arbitrary bytes.
class ResponseReader {
public:
    enum class State {
        head,
        body,
        done,
        cut,       // the peer closed before the answer was complete
        malformed, // the bytes are not an HTTP/1.1 answer
    };

    // Body bytes as they arrive; false stops reading (the answer then counts as done).
    using BodySink = std::function<bool(QByteArrayView bytes)>;

    // An answer to a HEAD request has no body, whatever its head says.
    explicit ResponseReader(bool answersHead = false)
        : m_answersHead(answersHead)
    {
    }

    State feed(QByteArrayView bytes, const BodySink& sink);
    // The peer closed the connection.
    State close();

    State state() const { return m_state; }
    int status() const { return m_status; } // 0 until the final head arrived
    bool stoppedBySink() const { return m_stoppedBySink; }
    QString problem() const { return m_problem; } // what was wrong, for `malformed`

private:
    enum class Framing { chunked, length, toClose };
    enum class ChunkPart { size, data, dataEnd, trailer };

    bool step(const BodySink& sink);
    bool readHead();
    bool readChunked(const BodySink& sink);
    bool pass(qsizetype count, const BodySink& sink);
    bool fail(const QString& problem);
    void finish() { m_state = State::done; }

    const bool m_answersHead;
    State m_state = State::head;
    Framing m_framing = Framing::toClose;
    ChunkPart m_chunkPart = ChunkPart::size;
    QByteArray m_pending;   // received, not yet consumed
    qint64 m_remaining = 0; // of the body or of the current chunk
    int m_status = 0;
    bool m_stoppedBySink = false;
    QString m_problem;
};
