#include "engines/http/LoopbackTransport.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include <QUrl>

#include "engines/http/BodyLines.h"
#include "engines/http/ResponseReader.h"

namespace Http {

namespace {

using Clock = std::chrono::steady_clock;
using Code = TransportError::Code;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(-1); }
    int get() const { return m_fd; }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// An eventfd that becomes readable the moment someone asks the task to stop, so that every wait
// below wakes at once.
class StopSignal {
public:
    explicit StopSignal(std::stop_token stop)
        : m_stop(stop)
        , m_wake(std::move(stop), [this] {
            const quint64 one = 1;
            [[maybe_unused]] const ssize_t written = ::write(m_fd.get(), &one, sizeof one);
        })
    {
    }
    int fd() const { return m_fd.get(); }
    bool requested() const { return m_stop.stop_requested(); }

private:
    std::stop_token m_stop;
    FileDescriptor m_fd{eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)}; // before the callback that writes it
    std::stop_callback<std::function<void()>> m_wake;
};

enum class Wait { ready, timedOut, stopped, failed };

Wait waitFor(int fd, short events, const StopSignal& stop, Clock::time_point until)
{
    pollfd watched[2] = {{fd, events, 0}, {stop.fd(), POLLIN, 0}};
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            return Wait::timedOut;
        const int ready = ::poll(watched, 2, int(std::min<qint64>(left, 60'000)));
        if (ready < 0 && errno != EINTR)
            return Wait::failed;
        if (watched[1].revents)
            return Wait::stopped;
        if (ready > 0)
            return Wait::ready;
    }
}

struct Address {
    sockaddr_storage storage{};
    socklen_t length = 0;
};

bool isLoopback(const sockaddr* address)
{
    if (address->sa_family == AF_INET)
        return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr) >> 24 == 127;
    return address->sa_family == AF_INET6
        && IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
}

// The loopback addresses the URL's host names, in the order to try them; none for another host.
// Only literal addresses are read, and "localhost" as both of its own: no name is ever looked up.
QList<Address> loopbackAddresses(const QUrl& url)
{
    const QString host = url.host().toLower();
    const QByteArrayList literals =
        host == QLatin1String("localhost") ? QByteArrayList{"127.0.0.1", "::1"} : QByteArrayList{host.toLatin1()};
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    QList<Address> addresses;
    for (const QByteArray& literal : literals) {
        addrinfo* found = nullptr;
        if (getaddrinfo(literal.constData(), QByteArray::number(url.port(80)).constData(), &hints, &found) != 0)
            continue;
        if (isLoopback(found->ai_addr)) {
            Address address;
            std::memcpy(&address.storage, found->ai_addr, found->ai_addrlen);
            address.length = found->ai_addrlen;
            addresses.append(address);
        }
        freeaddrinfo(found);
    }
    return addresses;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The request as it goes on the wire. Header values were checked for line breaks by the caller.
QByteArray requestBytes(const Request& request, const QUrl& url)
{
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    QByteArray bytes = request.method + ' ' + target
        + " HTTP/1.1\r\nHost: " + url.adjusted(QUrl::RemoveUserInfo).authority(QUrl::FullyEncoded).toLatin1()
        + "\r\nUser-Agent: Quillo/" QUILLO_VERSION "\r\nAccept: */*\r\nConnection: close\r\n";
    for (const QByteArray& header : request.headers)
        bytes += header + "\r\n";
    if (!request.body.isEmpty() || (request.method != "GET" && request.method != "HEAD"))
        bytes += "Content-Length: " + QByteArray::number(request.body.size()) + "\r\n";
    return bytes + "\r\n" + request.body;
}

class Exchange {
public:
    Exchange(const Request& request, const LineHandler* onLine, std::stop_token stop)
        : m_request(request)
        , m_onLine(onLine)
        , m_stop(std::move(stop))
        , m_reader(request.method == "HEAD")
    {
    }

    Response run()
    {
        const QUrl url(m_request.url);
        if (!connect(url) || !send(requestBytes(m_request, url)) || !receive())
            return m_response;
        if (m_lines && !m_reader.stoppedBySink())
            m_lines->finish();
        return m_response;
    }

private:
    bool failWith(Code code, const QString& detail = {})
    {
        m_response.error = TransportError{code, detail};
        return false;
    }

    // Where a wait for the peer ends: its silence outlasting the idle timeout, or the deadline.
    Clock::time_point waitLimit() const
    {
        Clock::time_point limit = m_lastActivity + m_request.idleTimeout;
        if (m_request.deadline)
            limit = std::min(limit, m_started + *m_request.deadline);
        return limit;
    }

    bool failForWait(Wait wait)
    {
        if (wait == Wait::stopped)
            return failWith(Code::cancelled);
        if (wait == Wait::failed)
            return failWith(Code::other, systemError(errno));
        if (m_request.deadline && Clock::now() >= m_started + *m_request.deadline)
            return failWith(Code::timedOut,
                            QStringLiteral("not finished within %1 ms").arg(m_request.deadline->count()));
        return failWith(Code::timedOut, QStringLiteral("no data for %1 ms").arg(m_request.idleTimeout.count()));
    }

    bool connect(const QUrl& url)
    {
        int lastError = EADDRNOTAVAIL;
        for (const Address& address : loopbackAddresses(url)) {
            m_socket.reset(::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
            if (m_socket.get() < 0)
                return failWith(Code::other, systemError(errno));
            if (::connect(m_socket.get(), reinterpret_cast<const sockaddr*>(&address.storage), address.length) != 0) {
                if (errno != EINPROGRESS) {
                    lastError = errno;
                    continue;
                }
                const Clock::time_point connectLimit = Clock::now() + m_request.connectTimeout;
                const Wait wait = waitFor(m_socket.get(), POLLOUT, m_stop, std::min(connectLimit, waitLimit()));
                if (wait == Wait::timedOut && Clock::now() >= connectLimit)
                    return failWith(Code::timedOut,
                                    QStringLiteral("no connection within %1 ms").arg(m_request.connectTimeout.count()));
                if (wait != Wait::ready)
                    return failForWait(wait);
                socklen_t length = sizeof lastError;
                if (::getsockopt(m_socket.get(), SOL_SOCKET, SO_ERROR, &lastError, &length) != 0 || lastError != 0)
                    continue;
            }
            m_response.connected = true;
            return true;
        }
        return failWith(Code::cannotConnectToHost,
                        QStringLiteral("Failed to connect to %1 port %2: %3")
                            .arg(url.host())
                            .arg(url.port(80))
                            .arg(systemError(lastError)));
    }

    bool send(const QByteArray& bytes)
    {
        for (qsizetype sent = 0; sent < bytes.size();) {
            const ssize_t written =
                ::send(m_socket.get(), bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (written > 0) {
                sent += written;
                continue;
            }
            if (errno == EAGAIN || errno == EINTR) {
                const Wait wait = waitFor(m_socket.get(), POLLOUT, m_stop, waitLimit());
                if (wait != Wait::ready)
                    return failForWait(wait);
                continue;
            }
            return failWith(Code::networkConnectionLost, systemError(errno));
        }
        return true;
    }

    bool take(QByteArrayView bytes)
    {
        if (!m_onLine || m_response.status < 200 || m_response.status > 299) {
            m_response.body.append(bytes);
            return true;
        }
        if (!m_lines)
            m_lines.emplace(*m_onLine);
        return m_lines->take(bytes);
    }

    bool receive()
    {
        const ResponseReader::BodySink sink = [this](QByteArrayView bytes) {
            m_response.status = m_reader.status();
            return take(bytes);
        };
        char buffer[16 * 1024];
        ResponseReader::State state = ResponseReader::State::head;
        while (state == ResponseReader::State::head || state == ResponseReader::State::body) {
            // A peer that never pauses is held to the deadline and the stop as well.
            if (m_stop.requested())
                return failForWait(Wait::stopped);
            if (m_request.deadline && Clock::now() >= m_started + *m_request.deadline)
                return failForWait(Wait::timedOut);
            const ssize_t received = ::recv(m_socket.get(), buffer, sizeof buffer, 0);
            if (received > 0) {
                m_lastActivity = Clock::now();
                state = m_reader.feed(QByteArrayView(buffer, received), sink);
            } else if (received == 0) {
                state = m_reader.close();
            } else if (errno == EAGAIN || errno == EINTR) {
                const Wait wait = waitFor(m_socket.get(), POLLIN, m_stop, waitLimit());
                if (wait != Wait::ready)
                    return failForWait(wait);
            } else {
                return failWith(Code::networkConnectionLost, systemError(errno));
            }
            m_response.status = m_reader.status();
        }
        if (state == ResponseReader::State::cut)
            return failWith(Code::networkConnectionLost,
                            QStringLiteral("the connection closed before the answer was complete"));
        if (state == ResponseReader::State::malformed)
            return failWith(Code::other, m_reader.problem());
        return true;
    }

    const Request& m_request;
    const LineHandler* m_onLine;
    StopSignal m_stop;
    ResponseReader m_reader;
    FileDescriptor m_socket;
    std::optional<BodyLines> m_lines;
    Response m_response;
    const Clock::time_point m_started = Clock::now();
    Clock::time_point m_lastActivity = m_started;
};

}

bool LoopbackTransport::serves(const QString& url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    return parsed.isValid() && parsed.scheme().toLower() == QLatin1String("http")
        && !loopbackAddresses(parsed).isEmpty();
}

Response LoopbackTransport::perform(const Request& request, const LineHandler* onLine, std::stop_token stop)
{
    return Exchange(request, onLine, std::move(stop)).run();
}

}
