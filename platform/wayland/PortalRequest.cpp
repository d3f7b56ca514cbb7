#include "platform/wayland/PortalRequest.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

}

PortalRequest::PortalRequest(const QDBusConnection& bus, QObject* context, Answer answer)
    : QObject(context)
    , m_bus(bus)
    , m_answer(std::move(answer))
{
}

void PortalRequest::send(const QDBusConnection& bus, QObject* context, const QString& interface, const QString& method,
                         QVariantList arguments, Answer answer, int timeoutMs)
{
    static int tokens = 0;
    const QString token = QStringLiteral("quillo_%1").arg(++tokens);
    auto* request = new PortalRequest(bus, context, std::move(answer));
    if (!arguments.isEmpty()) {
        QVariantMap options = arguments.last().toMap();
        options.insert(QStringLiteral("handle_token"), token);
        arguments.last() = options;
    }
    // Listening before asking: the answer may come before the reply that names its object.
    QString sender = request->m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    request->listen(QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token));
    if (timeoutMs != noDeadline) {
        request->m_timeout.setSingleShot(true);
        connect(&request->m_timeout, &QTimer::timeout, request, [request] { request->finish(noAnswer, {}); });
        request->m_timeout.start(timeoutMs);
    }

    auto* watcher = new QDBusPendingCallWatcher(request->m_bus.asyncCall(call(interface, method, arguments)), request);
    connect(watcher, &QDBusPendingCallWatcher::finished, request, [request](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *done;
        if (reply.isError())
            request->finish(noAnswer, {});
        else if (reply.value().path() != request->m_requestPath)
            request->listen(reply.value().path()); // an older portal names its own object
    });
}

void PortalRequest::listen(const QString& requestPath)
{
    if (!m_requestPath.isEmpty())
        m_bus.disconnect(QString(), m_requestPath, requestInterface, QStringLiteral("Response"), this,
                         SLOT(onResponse(uint, QVariantMap)));
    m_requestPath = requestPath;
    m_bus.connect(QString(), m_requestPath, requestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::onResponse(uint code, const QVariantMap& results)
{
    finish(code, results);
}

void PortalRequest::finish(uint code, const QVariantMap& results)
{
    if (!m_answer)
        return;
    m_bus.disconnect(QString(), m_requestPath, requestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap)));
    m_timeout.stop();
    const Answer answer = std::exchange(m_answer, {});
    deleteLater();
    answer(code, results);
}

QDBusMessage PortalRequest::call(const QString& interface, const QString& method, const QVariantList& arguments)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(path), interface, method);
    message.setArguments(arguments);
    return message;
}

QDBusMessage PortalRequest::registration()
{
    return call(QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"),
                {QString::fromLatin1(applicationId), QVariantMap()});
}
