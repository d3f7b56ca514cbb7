#pragma once

#include <optional>

#include <QByteArray>
#include <QJsonDocument>
#include <QPoint>
#include <QString>

// Hyprland's request socket (.socket.sock of the instance named by HYPRLAND_INSTANCE_SIGNATURE):
// one command per connection; "j/" in front asks for the answer as JSON.
namespace HyprlandIpc {

// The socket of the instance: under XDG_RUNTIME_DIR/hypr since Hyprland 0.40, /tmp/hypr before.
QString socketPath(const QString& instanceSignature);
std::optional<QByteArray> request(const QString& socketPath, const QByteArray& command);
// The process of the active window; nothing when none is active.
std::optional<qint64> focusedProcess(const QString& socketPath);
// Where the pointer is on the desktop (cursorpos); nothing when the compositor does not say.
std::optional<QPoint> pointer(const QString& socketPath);

}
