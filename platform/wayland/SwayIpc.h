#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

// sway's IPC (the i3 protocol) over the socket named by SWAYSOCK: a message is "i3-ipc", the
// payload's length and the message type (both 32-bit, native order), then the payload.
namespace SwayIpc {

enum class Message : quint32 {
    runCommand = 0,
    getTree = 4,
};

// The reply's payload as JSON; nothing when the compositor does not answer in time.
std::optional<QJsonDocument> request(const QString& socketPath, Message type, const QByteArray& payload = {});
// A node of the tree (an output, a workspace, a container, a window), and whether it floats.
struct Node {
    QJsonObject object;
    bool floating = false;
};
using NodeTest = std::function<bool(const QJsonObject&)>;
// The first node of the tree, floating ones included, that passes the test.
std::optional<Node> findNode(const QJsonObject& tree, const NodeTest& test);
// The window of the process with that title.
std::optional<Node> findWindow(const QJsonObject& tree, qint64 pid, const QString& title);
// The process of the focused window, from the tree; nothing when no window has the focus or
// it belongs to no process (a window of Xwayland, say).
std::optional<qint64> focusedProcess(const QString& socketPath);

}
