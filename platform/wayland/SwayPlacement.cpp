#include "platform/wayland/SwayPlacement.h"

#include <chrono>
#include <thread>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QThreadPool>

#include "platform/wayland/SwayIpc.h"

namespace {

// Whether every command of a run_command reply succeeded.
bool succeeded(const QJsonDocument& reply)
{
    const QJsonArray results = reply.array();
    for (const QJsonValue result : results) {
        if (!result.toObject().value(QLatin1String("success")).toBool())
            return false;
    }
    return !results.isEmpty();
}

constexpr int lookTries = 50; // every 10 ms: half a second for the window to be mapped

QByteArray panelCriteria(qint64 pid)
{
    return QByteArrayLiteral("[pid=") + QByteArray::number(pid) + QByteArrayLiteral(" title=\"^")
        + PanelPlacement::panelTitle + QByteArrayLiteral("$\"] ");
}

}

SwayPlacement::SwayPlacement(const QString& socketPath)
    : m_socketPath(socketPath)
{
    // One local round trip at start, answered at once by the compositor.
    const std::optional<QJsonDocument> reply =
        SwayIpc::request(socketPath, SwayIpc::Message::runCommand, panelRule(QCoreApplication::applicationPid()));
    m_active = reply && succeeded(*reply);
}

void SwayPlacement::shown(QWindow*)
{
    QThreadPool::globalInstance()->start([socketPath = m_socketPath, pid = QCoreApplication::applicationPid()] {
        for (int attempt = 0; attempt < lookTries; ++attempt) {
            const std::optional<QJsonDocument> tree = SwayIpc::request(socketPath, SwayIpc::Message::getTree);
            if (!tree)
                return;
            if (SwayIpc::findWindow(tree->object(), pid, QLatin1String(PanelPlacement::panelTitle))) {
                SwayIpc::request(socketPath, SwayIpc::Message::runCommand, panelCriteria(pid) + "move position cursor");
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
}

QByteArray SwayPlacement::panelRule(qint64 pid)
{
    // Quoted: unquoted, the commas would end the rule after its first command and run the others
    // at once, on whatever window has the focus.
    return QByteArrayLiteral("for_window ") + panelCriteria(pid)
        + QByteArrayLiteral("\"floating enable, sticky enable, border none\"");
}
