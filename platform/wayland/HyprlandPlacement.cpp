#include "platform/wayland/HyprlandPlacement.h"

#include <chrono>
#include <thread>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThreadPool>

#include "platform/wayland/HyprlandIpc.h"

namespace {

constexpr int offset = 12;
constexpr int lookTries = 50; // every 20 ms: one second for the window to appear

std::optional<QJsonDocument> ask(const QString& socketPath, const QByteArray& request)
{
    const std::optional<QByteArray> reply = HyprlandIpc::request(socketPath, request);
    if (!reply)
        return std::nullopt;
    return QJsonDocument::fromJson(*reply);
}

// The address of this process's panel window, once the compositor lists it.
QString panelAddress(const QString& socketPath, qint64 pid)
{
    for (int attempt = 0; attempt < lookTries; ++attempt) {
        if (const std::optional<QJsonDocument> clients = ask(socketPath, "j/clients")) {
            for (const QJsonValue& client : clients->array()) {
                const QJsonObject window = client.toObject();
                if (window.value(QLatin1String("pid")).toInteger() == pid
                    && window.value(QLatin1String("title")).toString() == QLatin1String(PanelPlacement::panelTitle))
                    return window.value(QLatin1String("address")).toString();
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}

}

HyprlandPlacement::HyprlandPlacement(QString socketPath)
    : m_socketPath(std::move(socketPath))
{
}

void HyprlandPlacement::shown(QWindow*)
{
    QThreadPool::globalInstance()->start([socketPath = m_socketPath, pid = QCoreApplication::applicationPid()] {
        const std::optional<QPoint> pointer = HyprlandIpc::pointer(socketPath);
        if (!pointer)
            return;
        const QString address = panelAddress(socketPath, pid);
        if (address.isEmpty())
            return;
        HyprlandIpc::request(socketPath, placeBatch(address, *pointer + QPoint(offset, offset)));
    });
}

QByteArray HyprlandPlacement::placeBatch(const QString& address, QPoint topLeft)
{
    const QByteArray window = "address:" + address.toLatin1();
    return "[[BATCH]]dispatch setfloating " + window + ";dispatch pin " + window + ";dispatch movewindowpixel exact "
        + QByteArray::number(topLeft.x()) + ' ' + QByteArray::number(topLeft.y()) + ',' + window;
}
