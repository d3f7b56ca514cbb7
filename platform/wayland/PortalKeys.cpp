#include "platform/wayland/PortalKeys.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include "platform/wayland/PortalRequest.h"
#include "platform/wayland/TypedChord.h"

namespace {

const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
constexpr uint keyboardDevice = 1;
constexpr uint persistUntilRevoked = 2;
// The user may take a while over the desktop's question; a portal without a backend never answers.
constexpr int answerTimeoutMs = 120000;

}

PortalKeys::PortalKeys(TokenStore tokens)
    : m_tokens(std::move(tokens))
    , m_connectionName(QStringLiteral("quillo-remote-%1").arg(quintptr(this)))
    , m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName))
{
}

PortalKeys::~PortalKeys()
{
    // The desktop ends the session with the connection.
    QDBusConnection::disconnectFromBus(m_connectionName);
}

bool PortalKeys::canSend()
{
    std::lock_guard lock(m_sessionMutex);
    return !m_session.isEmpty();
}

void PortalKeys::prepare(bool askUser, Ready ready)
{
    if (m_state == State::started) {
        ready(true);
        return;
    }
    // Without a remembered grant a quiet start would ask the user all the same.
    if (!m_bus.isConnected() || (!askUser && storedToken().isEmpty())) {
        ready(false);
        return;
    }
    m_waiting.push_back(std::move(ready));
    if (m_state == State::starting)
        return;
    m_state = State::starting;

    const auto createSession = [this, askUser] {
        auto* watcher = new QDBusPendingCallWatcher(
            m_bus.asyncCall(PortalRequest::call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                                QStringLiteral("Get"), {remoteDesktop, QStringLiteral("version")})),
            this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, askUser](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            const QDBusMessage reply = done->reply();
            const uint version = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                ? reply.arguments().first().value<QDBusVariant>().variant().toUInt()
                : 1;
            static int sessions = 0;
            PortalRequest::send(
                m_bus, this, remoteDesktop, QStringLiteral("CreateSession"),
                {QVariantMap{
                    {QStringLiteral("session_handle_token"), QStringLiteral("quillo_keys_%1").arg(++sessions)}}},
                [this, version, askUser](uint code, const QVariantMap& results) {
                    const QString session = results.value(QStringLiteral("session_handle")).toString();
                    if (code != 0 || session.isEmpty())
                        return finish(false);
                    selectDevices(session, version, askUser);
                },
                answerTimeoutMs);
        });
    };
    if (m_registered)
        return createSession();
    m_registered = true;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(PortalRequest::registration()), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [createSession](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        createSession();
    });
}

void PortalKeys::selectDevices(const QString& session, uint version, bool askUser)
{
    QVariantMap options{{QStringLiteral("types"), keyboardDevice}};
    if (version >= 2) {
        options.insert(QStringLiteral("persist_mode"), persistUntilRevoked);
        if (const QString token = storedToken(); !token.isEmpty())
            options.insert(QStringLiteral("restore_token"), token);
    } else if (!askUser) {
        return closeSession(session);
    }
    PortalRequest::send(
        m_bus, this, remoteDesktop, QStringLiteral("SelectDevices"),
        {QVariant::fromValue(QDBusObjectPath(session)), options},
        [this, session, version](uint code, const QVariantMap&) {
            if (code != 0)
                return closeSession(session);
            start(session, version);
        },
        answerTimeoutMs);
}

void PortalKeys::start(const QString& session, uint version)
{
    PortalRequest::send(
        m_bus, this, remoteDesktop, QStringLiteral("Start"),
        {QVariant::fromValue(QDBusObjectPath(session)), QString(), QVariantMap()},
        [this, session, version](uint code, const QVariantMap& results) {
            if (code != 0 || !(results.value(QStringLiteral("devices")).toUInt() & keyboardDevice))
                return closeSession(session);
            // Each grant's token is good for one restore: the new one replaces it.
            const QString token = results.value(QStringLiteral("restore_token")).toString();
            if (version >= 2 && !token.isEmpty() && m_tokens.write)
                m_tokens.write(token);
            {
                std::lock_guard lock(m_sessionMutex);
                m_session = session;
            }
            finish(true);
        },
        answerTimeoutMs);
}

void PortalKeys::closeSession(const QString& session)
{
    m_bus.asyncCall(QDBusMessage::createMethodCall(QString::fromLatin1(PortalRequest::service), session,
                                                   QStringLiteral("org.freedesktop.portal.Session"),
                                                   QStringLiteral("Close")));
    finish(false);
}

void PortalKeys::finish(bool started)
{
    m_state = started ? State::started : State::idle;
    for (const Ready& ready : std::exchange(m_waiting, {})) {
        if (ready)
            ready(started);
    }
}

bool PortalKeys::sendChord(quint32 keyCode, quint32 modifiers)
{
    const std::optional<TypedChord> chord = TypedChord::of(keyCode, modifiers);
    QString session;
    {
        std::lock_guard lock(m_sessionMutex);
        session = m_session;
    }
    if (!chord || session.isEmpty())
        return false;
    const auto press = [this, &session](quint32 keysym, bool down) {
        // Calls on one connection arrive in order: no need to wait for each reply.
        m_bus.asyncCall(PortalRequest::call(remoteDesktop, QStringLiteral("NotifyKeyboardKeysym"),
                                            {QVariant::fromValue(QDBusObjectPath(session)), QVariantMap(),
                                             static_cast<int>(keysym), uint(down ? 1 : 0)}));
    };
    for (const TypedChord::Key& modifier : chord->modifiers)
        press(modifier.keysym, true);
    press(chord->key.keysym, true);
    press(chord->key.keysym, false);
    for (auto it = chord->modifiers.crbegin(); it != chord->modifiers.crend(); ++it)
        press(it->keysym, false);
    return true;
}

QString PortalKeys::storedToken() const
{
    return m_tokens.read ? m_tokens.read().trimmed() : QString();
}
