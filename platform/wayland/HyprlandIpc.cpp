#include "platform/wayland/HyprlandIpc.h"

#include <chrono>

#include <QFileInfo>
#include <QJsonObject>

#include "platform/wayland/UnixSocket.h"

namespace {

constexpr auto replyWithin = std::chrono::milliseconds(500);

}

namespace HyprlandIpc {

QString socketPath(const QString& instanceSignature)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/hypr/") + instanceSignature
        + QStringLiteral("/.socket.sock");
    if (QFileInfo::exists(runtime))
        return runtime;
    return QStringLiteral("/tmp/hypr/") + instanceSignature + QStringLiteral("/.socket.sock");
}

std::optional<QByteArray> request(const QString& socketPath, const QByteArray& command)
{
    UnixSocket socket(socketPath, replyWithin);
    if (!socket.write(command))
        return std::nullopt;
    return socket.readAll();
}

std::optional<qint64> focusedProcess(const QString& socketPath)
{
    const std::optional<QByteArray> reply = request(socketPath, QByteArrayLiteral("j/activewindow"));
    const qint64 pid = reply ? QJsonDocument::fromJson(*reply).object().value(QLatin1String("pid")).toInteger() : 0;
    return pid > 0 ? std::optional(pid) : std::nullopt;
}

std::optional<QPoint> pointer(const QString& socketPath)
{
    const std::optional<QByteArray> reply = request(socketPath, QByteArrayLiteral("j/cursorpos"));
    const QJsonObject at = reply ? QJsonDocument::fromJson(*reply).object() : QJsonObject();
    if (!at.contains(QLatin1String("x")) || !at.contains(QLatin1String("y")))
        return std::nullopt;
    return QPoint(at.value(QLatin1String("x")).toInt(), at.value(QLatin1String("y")).toInt());
}

}
