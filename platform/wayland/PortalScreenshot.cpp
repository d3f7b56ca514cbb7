#include "platform/wayland/PortalScreenshot.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWindow>

namespace {

constexpr char portalService[] = "org.freedesktop.portal.Desktop";
constexpr char portalPath[] = "/org/freedesktop/portal/desktop";
constexpr char requestInterface[] = "org.freedesktop.portal.Request";
constexpr char applicationId[] = "org.quillo.Quillo";
// The user may be reading the desktop's question.
constexpr int answerTimeoutMs = 60000;

using Shot = ScreenImages::Shot;

QDBusMessage portalCall(const QString& interface, const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(portalService),
                                                       QString::fromLatin1(portalPath), interface, method);
    call.setArguments(arguments);
    return call;
}

// Reads the portal's file; removes it when the portal wrote it for this request (it holds the
// user's whole screen), never a file that was there before.
std::shared_ptr<const QImage> readShot(const QString& path, const QDateTime& asked)
{
    auto image = std::make_shared<QImage>(path);
    const QFileInfo file(path);
    if (file.exists() && file.lastModified() >= asked)
        QFile::remove(path);
    return image->isNull() ? nullptr : std::shared_ptr<const QImage>(std::move(image));
}

}

PortalScreenshotRequest::PortalScreenshotRequest(QDBusConnection bus, Answered answered, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_answered(std::move(answered))
{
}

void PortalScreenshotRequest::listen(const QString& path)
{
    if (path == m_path)
        return;
    const QString interface = QString::fromLatin1(requestInterface);
    if (!m_path.isEmpty())
        m_bus.disconnect(QString(), m_path, interface, QStringLiteral("Response"), this,
                         SLOT(onResponse(uint, QVariantMap)));
    m_path = path;
    m_bus.connect(QString(), m_path, interface, QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
}

void PortalScreenshotRequest::onResponse(uint code, const QVariantMap& results)
{
    if (const Answered answered = std::exchange(m_answered, nullptr))
        answered(code, results);
    deleteLater();
}

PortalScreenshot::PortalScreenshot()
    : m_connectionName(QStringLiteral("quillo-screenshot-%1").arg(quintptr(this)))
    , m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName))
{
}

PortalScreenshot::~PortalScreenshot()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
}

QString PortalScreenshot::parentHandle()
{
    const QWindow* focused = QGuiApplication::focusWindow();
    if (focused && QGuiApplication::platformName() == QLatin1String("xcb"))
        return QStringLiteral("x11:%1").arg(focused->winId(), 0, 16);
    return QStringLiteral("wayland:");
}

void PortalScreenshot::grab(QObject* context, Done done)
{
    const QPointer<QObject> guard(context);
    // Answers once: the Response, a failed call or the timeout, whichever comes first.
    auto answer = std::make_shared<Done>([this, guard, done](Shot shot) {
        m_state = shot.outcome == Shot::Outcome::image ? State::works
            : shot.outcome == Shot::Outcome::refused   ? State::refused
                                                       : State::unavailable;
        if (guard)
            done(std::move(shot));
    });
    const auto once = [answer](Shot shot) {
        if (const Done give = std::exchange(*answer, nullptr))
            give(std::move(shot));
    };
    if (!m_bus.isConnected()) {
        QTimer::singleShot(0, this, [once] { once({Shot::Outcome::unavailable, Road::portal, nullptr}); });
        return;
    }
    // A portal that knows applications by registration wants it as the connection's first
    // call; older ones have no such interface, and the answer does not matter either way.
    if (!std::exchange(m_registered, true))
        m_bus.asyncCall(portalCall(QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"),
                                   {QString::fromLatin1(applicationId), QVariantMap()}));

    const QDateTime asked = QDateTime::currentDateTime();
    auto* request = new PortalScreenshotRequest(
        m_bus,
        [this, once, asked](uint code, const QVariantMap& results) {
            if (code != 0) {
                // 1: the user said no; 2: the desktop did (not asked from a focused window, or
                // a stored no).
                once({Shot::Outcome::refused, Road::portal, nullptr});
                return;
            }
            const QString path = QUrl(results.value(QStringLiteral("uri")).toString()).toLocalFile();
            if (path.isEmpty()) {
                once({Shot::Outcome::unavailable, Road::portal, nullptr});
                return;
            }
            m_pool.run(
                this, [path, asked](std::stop_token) { return readShot(path, asked); },
                [once](std::shared_ptr<const QImage> image) {
                    once({image ? Shot::Outcome::image : Shot::Outcome::unavailable, Road::portal, image});
                });
        },
        this);
    QTimer::singleShot(answerTimeoutMs, request, [request, once] {
        once({Shot::Outcome::unavailable, Road::portal, nullptr});
        request->deleteLater();
    });

    const QString token = QStringLiteral("quillo_shot_%1").arg(++m_tokens);
    // Listening before asking: the answer may come before the reply that names its object.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    request->listen(QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token));
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("interactive"), false},
                              {QStringLiteral("modal"), true}};
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(portalCall(QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"),
                                   {parentHandle(), options})),
        request);
    connect(watcher, &QDBusPendingCallWatcher::finished, request, [request, once](QDBusPendingCallWatcher* replied) {
        replied->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *replied;
        if (reply.isError()) {
            once({Shot::Outcome::unavailable, Road::portal, nullptr});
            request->deleteLater();
        } else {
            request->listen(reply.value().path());
        }
    });
}
