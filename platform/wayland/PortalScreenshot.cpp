#include "platform/wayland/PortalScreenshot.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include "platform/wayland/PortalRequest.h"

namespace {

// The user may be reading the desktop's question.
constexpr int answerTimeoutMs = 60000;

using Shot = ScreenImages::Shot;

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
    if (!std::exchange(m_registered, true))
        m_bus.asyncCall(PortalRequest::registration());

    const QDateTime asked = QDateTime::currentDateTime();
    PortalRequest::send(
        m_bus, this, QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"),
        {parentHandle(), QVariantMap{{QStringLiteral("interactive"), false}, {QStringLiteral("modal"), true}}},
        [this, once, asked](uint code, const QVariantMap& results) {
            if (code == PortalRequest::noAnswer) {
                once({Shot::Outcome::unavailable, Road::portal, nullptr});
                return;
            }
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
        answerTimeoutMs);
}
