#include "platform/wayland/SwayIpc.h"

#include <chrono>
#include <cstring>

#include <QJsonArray>
#include <QJsonObject>

#include "platform/wayland/UnixSocket.h"

namespace {

constexpr auto replyWithin = std::chrono::milliseconds(500);
constexpr char magic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr qsizetype headerSize = sizeof magic + 2 * sizeof(quint32);

QByteArray header(quint32 length, quint32 type)
{
    QByteArray bytes(magic, sizeof magic);
    bytes.append(reinterpret_cast<const char*>(&length), sizeof length);
    bytes.append(reinterpret_cast<const char*>(&type), sizeof type);
    return bytes;
}

std::optional<SwayIpc::Node> findIn(const QJsonObject& node, bool floating, const SwayIpc::NodeTest& test)
{
    if (test(node))
        return SwayIpc::Node{node, floating};
    for (const char* children : {"nodes", "floating_nodes"}) {
        const bool floats = floating || std::strcmp(children, "floating_nodes") == 0;
        for (const QJsonValue child : node.value(QLatin1String(children)).toArray()) {
            if (std::optional<SwayIpc::Node> found = findIn(child.toObject(), floats, test))
                return found;
        }
    }
    return std::nullopt;
}

}

namespace SwayIpc {

std::optional<QJsonDocument> request(const QString& socketPath, Message type, const QByteArray& payload)
{
    UnixSocket socket(socketPath, replyWithin);
    if (!socket.write(header(static_cast<quint32>(payload.size()), static_cast<quint32>(type)) + payload))
        return std::nullopt;
    const std::optional<QByteArray> head = socket.read(headerSize);
    if (!head || !head->startsWith(QByteArray(magic, sizeof magic)))
        return std::nullopt;
    quint32 length = 0;
    std::memcpy(&length, head->constData() + sizeof magic, sizeof length);
    const std::optional<QByteArray> body = socket.read(length);
    if (!body)
        return std::nullopt;
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(*body, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    return document;
}

std::optional<Node> findNode(const QJsonObject& tree, const NodeTest& test)
{
    return findIn(tree, false, test);
}

std::optional<Node> findWindow(const QJsonObject& tree, qint64 pid, const QString& title)
{
    return findNode(tree, [&](const QJsonObject& node) {
        return node.value(QLatin1String("pid")).toInteger() == pid
            && node.value(QLatin1String("name")).toString() == title;
    });
}

std::optional<qint64> focusedProcess(const QString& socketPath)
{
    const std::optional<QJsonDocument> tree = request(socketPath, Message::getTree);
    const std::optional<Node> focused = tree
        ? findNode(tree->object(),
                   [](const QJsonObject& node) { return node.value(QLatin1String("focused")).toBool(); })
        : std::nullopt;
    const qint64 pid = focused ? focused->object.value(QLatin1String("pid")).toInteger() : 0;
    return pid > 0 ? std::optional(pid) : std::nullopt;
}

}
