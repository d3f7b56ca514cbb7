#include "platform/wayland/UnixSocket.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

UnixSocket::UnixSocket(const QString& path, std::chrono::milliseconds timeout)
    : m_deadline(std::chrono::steady_clock::now() + timeout)
{
    const QByteArray name = path.toLocal8Bit();
    sockaddr_un address{};
    if (name.isEmpty() || static_cast<std::size_t>(name.size()) >= sizeof address.sun_path)
        return;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0)
        return;
    // A local connect either succeeds or fails at once (or waits for room in the backlog).
    if (connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        && !(errno == EAGAIN && waitFor(POLLOUT))) {
        close(m_fd);
        m_fd = -1;
    }
}

UnixSocket::~UnixSocket()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool UnixSocket::waitFor(short events)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return false;
    pollfd entry{m_fd, events, 0};
    int ready;
    do {
        ready = poll(&entry, 1, static_cast<int>(left.count()));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

bool UnixSocket::write(const QByteArray& bytes)
{
    qsizetype written = 0;
    while (m_fd >= 0 && written < bytes.size()) {
        const ssize_t sent =
            send(m_fd, bytes.constData() + written, static_cast<std::size_t>(bytes.size() - written), MSG_NOSIGNAL);
        if (sent > 0)
            written += sent;
        else if (!(sent < 0 && (errno == EAGAIN || errno == EINTR) && waitFor(POLLOUT)))
            return false;
    }
    return m_fd >= 0;
}

std::optional<QByteArray> UnixSocket::read(qsizetype count)
{
    QByteArray bytes;
    char buffer[65536];
    while (m_fd >= 0 && bytes.size() < count) {
        const std::size_t wanted = std::min<std::size_t>(sizeof buffer, static_cast<std::size_t>(count - bytes.size()));
        const ssize_t got = recv(m_fd, buffer, wanted, 0);
        if (got > 0)
            bytes.append(buffer, got);
        else if (got == 0 || !((errno == EAGAIN || errno == EINTR) && waitFor(POLLIN)))
            return std::nullopt;
    }
    return m_fd >= 0 ? std::optional(bytes) : std::nullopt;
}

std::optional<QByteArray> UnixSocket::readAll()
{
    QByteArray bytes;
    char buffer[65536];
    while (m_fd >= 0) {
        const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
        if (got > 0)
            bytes.append(buffer, got);
        else if (got == 0)
            return bytes;
        else if (!((errno == EAGAIN || errno == EINTR) && waitFor(POLLIN)))
            return std::nullopt;
    }
    return std::nullopt;
}
