#pragma once

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include <httplib.h>

#include <QString>

// An HTTP server inside the test process on a free loopback port. Handlers that want to hang
// call holdUntilReleased(), which returns when the test releases them or the server goes away.
class LocalHttpServer {
public:
    httplib::Server server;

    LocalHttpServer()
    {
        // Bindable again right after another server left the port (connections in TIME_WAIT).
        server.set_socket_options([](socket_t socket) {
            const int yes = 1;
            setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
        });
    }
    ~LocalHttpServer()
    {
        release();
        server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    // Binds (the socket listens from here on) and serves on a thread; call after adding routes.
    // Port 0 picks a free port. False when the port is taken.
    bool start(int port = 0)
    {
        m_port =
            port == 0 ? server.bind_to_any_port("127.0.0.1") : (server.bind_to_port("127.0.0.1", port) ? port : -1);
        if (m_port <= 0)
            return false;
        m_thread = std::thread([this] { server.listen_after_bind(); });
        return true;
    }

    QString url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path); }

    void holdUntilReleased(std::chrono::seconds atMost = std::chrono::seconds(30)) { m_released.wait_for(atMost); }
    void release()
    {
        std::call_once(m_releasing, [this] { m_release.set_value(); });
    }

private:
    std::thread m_thread;
    int m_port = 0;
    std::promise<void> m_release;
    std::shared_future<void> m_released = m_release.get_future().share();
    std::once_flag m_releasing;
};
