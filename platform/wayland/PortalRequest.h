#pragma once

#include <functional>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

// One call of a desktop portal whose answer comes later, as the Response signal of a request
// object: the code (0 granted, 1 cancelled by the user, 2 anything else) and the results. A call
// the portal rejects, or that gets no answer in time, answers noAnswer. Main thread.
class PortalRequest final : public QObject {
    Q_OBJECT

public:
    using Answer = std::function<void(uint code, const QVariantMap& results)>;

    static constexpr char service[] = "org.freedesktop.portal.Desktop";
    static constexpr char path[] = "/org/freedesktop/portal/desktop";
    // Not a portal's code: the call failed or its answer did not come in time.
    static constexpr uint noAnswer = 3;
    // A request that waits as long as the user leaves the desktop's dialog open.
    static constexpr int noDeadline = 0;

    // The last argument is the call's options, to which the request's handle token is added. The
    // answer is dropped once context is gone.
    static void send(const QDBusConnection& bus, QObject* context, const QString& interface, const QString& method,
                     QVariantList arguments, Answer answer, int timeoutMs);
    // The desktop entry the portals know Quillo by.
    static constexpr char applicationId[] = "org.quillo.Quillo";

    // A plain method call on the portal object, answered by its reply.
    static QDBusMessage call(const QString& interface, const QString& method, const QVariantList& arguments);
    // Registers the application id, which a portal that knows applications by registration wants
    // as a connection's first call; older ones have no such interface, and the answer does not
    // matter either way.
    static QDBusMessage registration();

private Q_SLOTS:
    void onResponse(uint code, const QVariantMap& results);

private:
    PortalRequest(const QDBusConnection& bus, QObject* context, Answer answer);
    void listen(const QString& requestPath);
    void finish(uint code, const QVariantMap& results);

    QDBusConnection m_bus;
    QString m_requestPath;
    Answer m_answer;
    QTimer m_timeout;
};
