#pragma once

#include <chrono>
#include <optional>

#include <QByteArray>
#include <QString>

// One request over a local stream socket, bounded in time: a compositor that hangs must not
// hold the caller.
class UnixSocket {
public:
    UnixSocket(const QString& path, std::chrono::milliseconds timeout);
    ~UnixSocket();
    UnixSocket(const UnixSocket&) = delete;
    UnixSocket& operator=(const UnixSocket&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool write(const QByteArray& bytes);
    // Exactly count bytes; nothing when the peer closed or the time ran out first.
    std::optional<QByteArray> read(qsizetype count);
    // Everything until the peer closes; nothing when the time ran out first.
    std::optional<QByteArray> readAll();

private:
    bool waitFor(short events);

    int m_fd = -1;
    std::chrono::steady_clock::time_point m_deadline;
};
