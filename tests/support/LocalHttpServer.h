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

    LocalHttpServer() = default;
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
    void start()
    {
        m_port = server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { server.listen_after_bind(); });
    }

    int port() const { return m_port; }
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
