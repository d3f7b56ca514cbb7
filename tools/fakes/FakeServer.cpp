#include "tools/fakes/FakeServer.h"

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

#include <pthread.h>

#include <QFile>
#include <QJsonDocument>

namespace FakeServer {

namespace {

std::mutex gateMutex;
std::condition_variable gateOpened;
bool shuttingDown = false;

void openGate()
{
    {
        std::lock_guard lock(gateMutex);
        shuttingDown = true;
    }
    gateOpened.notify_all();
}

}

int serve(httplib::Server& server, const QString& host, int port, const QString& banner)
{
    // The shutdownSignals are taken by one thread of ours, so the server stops cleanly and stalled
    // answers are let go instead of holding the process.
    sigset_t shutdownSignals;
    sigemptyset(&shutdownSignals);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&shutdownSignals, signal);
    pthread_sigmask(SIG_BLOCK, &shutdownSignals, nullptr);

    server.new_task_queue = [] { return new httplib::ThreadPool(64); };
    // Without the library's SO_REUSEPORT, so a second server on a taken address fails like the real one.
    server.set_socket_options([](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    const std::string address = host.toStdString();
    if (port == 0)
        port = server.bind_to_any_port(address);
    else if (!server.bind_to_port(address, port))
        port = -1;
    if (port <= 0) {
        std::fprintf(stderr, "Error: listen tcp %s:%d: bind: address already in use\n", address.c_str(), port);
        return 1;
    }
    std::fprintf(stderr, "%s\n", qPrintable(banner.arg(port)));
    std::fflush(stderr);

    std::thread waiter([&server, shutdownSignals] {
        int received = 0;
        sigwait(&shutdownSignals, &received);
        openGate();
        server.stop();
    });
    server.listen_after_bind();
    openGate();
    if (server.is_running())
        server.stop();
    pthread_kill(waiter.native_handle(), SIGTERM); // ends the wait when the server stopped by itself
    waiter.join();
    return 0;
}

void stall(std::chrono::seconds duration)
{
    std::unique_lock lock(gateMutex);
    gateOpened.wait_for(lock, duration, [] { return shuttingDown; });
}

bool keepAlive(std::chrono::seconds duration, const std::function<bool()>& send)
{
    const auto until = std::chrono::steady_clock::now() + duration;
    std::unique_lock lock(gateMutex);
    while (!shuttingDown && std::chrono::steady_clock::now() < until) {
        lock.unlock();
        if (!send())
            return false;
        lock.lock();
        gateOpened.wait_for(lock, std::chrono::milliseconds(200), [] { return shuttingDown; });
    }
    return true;
}

void record(const QString& path, const httplib::Request& request)
{
    if (path.isEmpty())
        return;
    static std::mutex fileMutex;
    const QByteArray body = QByteArray::fromStdString(request.body);
    const QJsonDocument parsed = QJsonDocument::fromJson(body);
    QJsonObject entry{{QStringLiteral("method"), QString::fromStdString(request.method)},
                      {QStringLiteral("path"), QString::fromStdString(request.path)}};
    if (parsed.isObject())
        entry.insert(QStringLiteral("body"), parsed.object());
    else
        entry.insert(QStringLiteral("body"), QString::fromUtf8(body));
    std::lock_guard lock(fileMutex);
    QFile file(path);
    if (file.open(QIODevice::Append))
        file.write(compact(entry) + '\n');
}

QString answer(const Markers& markers)
{
    if (markers.empty)
        return QStringLiteral(" \n ");
    const QString echo = QStringLiteral("回声：") + markers.text;
    return markers.think ? QStringLiteral("<think>\n我先想一想这个问题。\n</think>\n\n") + echo : echo;
}

QString lastUserMessage(const QJsonArray& messages)
{
    for (qsizetype i = messages.size() - 1; i >= 0; --i) {
        const QJsonObject message = messages[i].toObject();
        if (message.value(QStringLiteral("role")).toString() == QLatin1String("user"))
            return message.value(QStringLiteral("content")).toString();
    }
    return {};
}

QStringList fragments(const QString& text, int size)
{
    QStringList pieces;
    QString piece;
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        piece += text[i];
        if (text[i].isHighSurrogate() && i + 1 < text.size())
            piece += text[++i];
        if (++count == size) {
            pieces.append(std::exchange(piece, {}));
            count = 0;
        }
    }
    if (!piece.isEmpty())
        pieces.append(piece);
    return pieces;
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void replyWhole(httplib::Response& response, const std::string& body, const char* contentType, bool drop)
{
    if (!drop)
        return response.set_content(body, contentType);
    response.set_content_provider(body.size(), contentType, [body](size_t, size_t, httplib::DataSink& sink) {
        sink.write(body.data(), body.size() / 2);
        return false;
    });
}

ParsedBody parseBody(const std::string& body)
{
    if (body.empty())
        return {{}, QStringLiteral("missing request body")};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(body), &error);
    if (error.error != QJsonParseError::NoError)
        return {{}, QStringLiteral("invalid character at offset %1: %2").arg(error.offset).arg(error.errorString())};
    if (!document.isObject())
        return {{}, QStringLiteral("json: cannot unmarshal array into Go value of type api.Request")};
    return {document.object(), {}};
}

}
