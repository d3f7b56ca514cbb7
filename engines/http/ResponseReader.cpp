#include "engines/http/ResponseReader.h"

#include <algorithm>

#include <QList>

namespace {

// Beyond these (terminators included) a peer is not sending an HTTP answer, or one nobody needs.
// Both are judged the same whether the bytes came in one read or many.
constexpr qsizetype maxHead = 64 * 1024;
constexpr qsizetype maxLine = 8 * 1024;

bool isDigits(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A non-negative decimal or hexadecimal count that fits; -1 otherwise.
qint64 parseCount(QByteArrayView text, int base)
{
    if (text.isEmpty() || text.size() > 15)
        return -1;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, base);
    return ok && value >= 0 && text.front() != '+' && text.front() != '-' ? value : -1;
}

}

ResponseReader::State ResponseReader::feed(QByteArrayView bytes, const BodySink& sink)
{
    if (m_state != State::head && m_state != State::body)
        return m_state;
    m_pending.append(bytes);
    while ((m_state == State::head || m_state == State::body) && step(sink)) { }
    return m_state;
}

ResponseReader::State ResponseReader::close()
{
    if (m_state == State::body && m_framing == Framing::toClose)
        finish();
    else if (m_state == State::head || m_state == State::body)
        m_state = State::cut;
    return m_state;
}

bool ResponseReader::step(const BodySink& sink)
{
    if (m_state == State::head)
        return readHead();
    switch (m_framing) {
    case Framing::toClose: return !m_pending.isEmpty() && pass(m_pending.size(), sink);
    case Framing::length:
        if (m_pending.isEmpty() || !pass(std::min<qint64>(m_remaining, m_pending.size()), sink))
            return false;
        if (m_remaining == 0)
            finish();
        return true;
    case Framing::chunked: return readChunked(sink);
    }
    return false;
}

bool ResponseReader::readHead()
{
    const qsizetype end = m_pending.indexOf("\r\n\r\n");
    if (end < 0 ? m_pending.size() >= maxHead : end + 4 > maxHead)
        return fail(QStringLiteral("the answer's head is too long"));
    if (end < 0)
        return false;
    const QList<QByteArray> lines = m_pending.first(end).split('\n');
    m_pending.remove(0, end + 4);

    // "HTTP/1.1 200 OK": the version, a space, three digits and an optional reason.
    const QByteArray statusLine = lines.front().trimmed();
    const bool wellFormed = statusLine.size() >= 12 && statusLine.startsWith("HTTP/1.") && statusLine[8] == ' '
        && isDigits(statusLine.sliced(9, 3)) && (statusLine.size() == 12 || statusLine[12] == ' ');
    if (!wellFormed)
        return fail(QStringLiteral("the answer does not start with an HTTP/1 status line"));
    const int status = statusLine.sliced(9, 3).toInt();
    if (status < 100)
        return fail(QStringLiteral("the answer's status is out of range"));
    if (status < 200) {
        if (status == 101)
            return fail(QStringLiteral("the server switched protocols"));
        return true; // an interim answer; the final head follows
    }

    bool chunked = false;
    qint64 length = -1;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return fail(QStringLiteral("a header line of the answer has no name"));
        const QByteArray name = line.first(colon).toLower();
        const QByteArray value = line.sliced(colon + 1).trimmed();
        if (name == "transfer-encoding") {
            chunked = value.toLower().endsWith("chunked");
        } else if (name == "content-length") {
            const qint64 parsed = parseCount(value, 10);
            if (parsed < 0 || (length >= 0 && parsed != length))
                return fail(QStringLiteral("the answer's length is not a single number"));
            length = parsed;
        }
    }
    m_status = status;
    m_state = State::body;
    if (m_answersHead || status == 204 || status == 304 || (!chunked && length == 0))
        finish();
    else if (chunked)
        m_framing = Framing::chunked;
    else if (length > 0)
        m_framing = Framing::length, m_remaining = length;
    return true;
}

bool ResponseReader::readChunked(const BodySink& sink)
{
    if (m_chunkPart == ChunkPart::data) {
        if (m_pending.isEmpty() || !pass(std::min<qint64>(m_remaining, m_pending.size()), sink))
            return false;
        if (m_remaining == 0)
            m_chunkPart = ChunkPart::dataEnd;
        return true;
    }
    if (m_chunkPart == ChunkPart::dataEnd) {
        if (m_pending.size() < 2)
            return false;
        if (!m_pending.startsWith("\r\n"))
            return fail(QStringLiteral("a chunk of the answer is longer than it said"));
        m_pending.remove(0, 2);
        m_chunkPart = ChunkPart::size;
        return true;
    }
    const qsizetype end = m_pending.indexOf("\r\n");
    if (end < 0 ? m_pending.size() >= maxLine : end + 2 > maxLine)
        return fail(QStringLiteral("a chunk line of the answer is too long"));
    if (end < 0)
        return false;
    const QByteArray line = m_pending.first(end);
    m_pending.remove(0, end + 2);
    if (m_chunkPart == ChunkPart::trailer) {
        if (line.isEmpty())
            finish();
        return true;
    }
    // The size in hexadecimal, perhaps followed by extensions after a semicolon.
    const qsizetype semicolon = line.indexOf(';');
    const qint64 size = parseCount((semicolon < 0 ? line : line.first(semicolon)).trimmed(), 16);
    if (size < 0)
        return fail(QStringLiteral("a chunk of the answer has no valid size"));
    m_remaining = size;
    m_chunkPart = size == 0 ? ChunkPart::trailer : ChunkPart::data;
    return true;
}

bool ResponseReader::pass(qsizetype count, const BodySink& sink)
{
    const QByteArray bytes = m_pending.first(count);
    m_pending.remove(0, count);
    m_remaining -= count;
    if (sink(bytes))
        return true;
    m_stoppedBySink = true;
    finish();
    return false;
}

bool ResponseReader::fail(const QString& problem)
{
    m_problem = problem;
    m_state = State::malformed;
    return false;
}
