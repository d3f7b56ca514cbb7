#pragma once

#include <chrono>
#include <condition_variable>
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
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // Binds (the socket listens from here on) and serves on a thread; call after adding routes.
    // Port 0 picks a free port. False when the port is taken.
    bool start(int port = 0)
    {
        m_port = port == 0 ? server.bind_to_any_port("127.0.0.1") : (server.bind_to_port("127.0.0.1", port) ? port : -1);
        if (m_port <= 0)
            return false;
        m_thread = std::thread([this] { server.listen_after_bind(); });
        return true;
    }

    QString url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path); }

    void holdUntilReleased(std::chrono::seconds atMost = std::chrono::seconds(30))
    {
        std::unique_lock lock(m_mutex);
        m_released.wait_for(lock, atMost, [this] { return m_isReleased; });
    }

    void release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_isReleased = true;
        }
        m_released.notify_all();
    }

private:
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_isReleased = false;
};
