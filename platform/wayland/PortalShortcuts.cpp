#include "platform/wayland/PortalShortcuts.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QTimer>

#include "core/HotKey.h"
#include "core/KeyFormatter.h"
#include "core/UsKeyLayout.h"

namespace {

constexpr char shortcutsInterface[] = "org.freedesktop.portal.GlobalShortcuts";

// One entry of the a(sa{sv}) lists of BindShortcuts and its answer.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

}

Q_DECLARE_METATYPE(PortalShortcut)

PortalShortcuts::PortalShortcuts()
    : m_connectionName(QStringLiteral("quillo-portal-%1").arg(quintptr(this)))
    , m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName))
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    if (!m_bus.isConnected()) {
        QTimer::singleShot(0, this, [this] { fail(); });
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(PortalRequest::registration()), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        createSession();
    });
}

PortalShortcuts::~PortalShortcuts()
{
    // The desktop ends the session with the connection.
    QDBusConnection::disconnectFromBus(m_connectionName);
}

QString PortalShortcuts::portalId(quint32 id)
{
    switch (id) {
    case HotKey::mainId: return QStringLiteral("popup");
    case HotKey::screenshotId: return QStringLiteral("screenshot");
    default: return {};
    }
}

QString PortalShortcuts::preferredTrigger(quint32 keyCode, quint32 modifiers)
{
    const QString key = KeyFormatter::isFunctionKey(keyCode) ? KeyFormatter::displayChar(keyCode)
                                                             : UsKeyLayout().characterFor(keyCode).toLower();
    if (key.isEmpty())
        return {};
    QStringList parts;
    if (modifiers & KeyFormatter::controlMask)
        parts << QStringLiteral("CTRL");
    if (modifiers & KeyFormatter::optionMask)
        parts << QStringLiteral("ALT");
    if (modifiers & KeyFormatter::shiftMask)
        parts << QStringLiteral("SHIFT");
    if (modifiers & KeyFormatter::commandMask)
        parts << QStringLiteral("LOGO");
    parts << key;
    return parts.join(QLatin1Char('+'));
}

bool PortalShortcuts::grab(quint32 keyCode, quint32 modifiers, quint32 id)
{
    if (portalId(id).isEmpty())
        return false;
    m_wanted.insert(id, preferredTrigger(keyCode, modifiers));
    m_grabbed.insert({keyCode, modifiers}, id);
    m_active.insert(id);
    // Both shortcuts are registered one after the other: they are bound together, once.
    QTimer::singleShot(0, this, [this] { bindIfReady(); });
    return true;
}

void PortalShortcuts::ungrab(quint32 keyCode, quint32 modifiers)
{
    const quint32 id = m_grabbed.take({keyCode, modifiers});
    // A new combination of the same shortcut is taken before the old one is let go.
    for (const quint32 other : std::as_const(m_grabbed)) {
        if (other == id)
            return;
    }
    m_active.remove(id);
}

void PortalShortcuts::createSession()
{
    m_step = Step::creating;
    request(QStringLiteral("CreateSession"),
            {QVariantMap{{QStringLiteral("session_handle_token"), QStringLiteral("quillo_session")}}},
            [this](uint code, const QVariantMap& results) { sessionCreated(code, results); });
}

void PortalShortcuts::bindIfReady()
{
    if (m_step != Step::created || !m_wanted.contains(HotKey::mainId))
        return;
    m_step = Step::binding;
    QList<PortalShortcut> shortcuts;
    for (const quint32 id : {HotKey::mainId, HotKey::screenshotId}) {
        if (!m_wanted.contains(id))
            continue;
        QVariantMap properties{{QStringLiteral("description"),
                                id == HotKey::mainId ? QStringLiteral("Read the selection and open Quillo")
                                                     : QStringLiteral("Read the text in a region of the screen")}};
        if (!m_wanted.value(id).isEmpty())
            properties.insert(QStringLiteral("preferred_trigger"), m_wanted.value(id));
        shortcuts.append({portalId(id), properties});
    }
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts), QString(), QVariantMap()},
            [this](uint code, const QVariantMap& results) { bound(code, results); });
}

void PortalShortcuts::request(const QString& method, const QVariantList& arguments, PortalRequest::Answer answer)
{
    // The desktop's dialog waits for the user as long as it takes.
    PortalRequest::send(m_bus, this, QString::fromLatin1(shortcutsInterface), method, arguments, std::move(answer),
                        PortalRequest::noDeadline);
}

void PortalShortcuts::sessionCreated(uint code, const QVariantMap& results)
{
    if (code != 0 || !results.contains(QStringLiteral("session_handle"))) {
        // Refused or cancelled by the user: the desktop's own settings remain.
        fail();
        return;
    }
    m_session = results.value(QStringLiteral("session_handle")).toString();
    m_step = Step::created;
    // Signals are matched by path and told apart by the session, not by the portal's name,
    // whose owner QtDBus stops following once no subscription names it.
    m_bus.connect(QString(), QString::fromLatin1(PortalRequest::path), QString::fromLatin1(shortcutsInterface),
                  QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    bindIfReady();
}

void PortalShortcuts::bound(uint code, const QVariantMap& results)
{
    QList<PortalShortcut> shortcuts;
    if (results.contains(QStringLiteral("shortcuts")))
        results.value(QStringLiteral("shortcuts")).value<QDBusArgument>() >> shortcuts;
    // GNOME 48's backend answers a binding it made with 2 all the same, the bound shortcuts
    // beside: they are what tells.
    if (code != 0 && shortcuts.isEmpty()) {
        fail();
        return;
    }
    m_step = Step::bound;
    QString trigger;
    for (const PortalShortcut& shortcut : std::as_const(shortcuts)) {
        if (shortcut.id == portalId(HotKey::mainId))
            trigger = shortcut.properties.value(QStringLiteral("trigger_description")).toString();
    }
    setRoad({Road::Kind::portalBound, trigger});
}

void PortalShortcuts::fail()
{
    m_step = Step::failed;
    setRoad({Road::Kind::desktopBinding, {}});
}

void PortalShortcuts::onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong,
                                  const QVariantMap&)
{
    if (session.path() != m_session || !m_pressed)
        return;
    for (const quint32 id : {HotKey::mainId, HotKey::screenshotId}) {
        if (shortcutId == portalId(id) && m_active.contains(id))
            m_pressed(id);
    }
}

void PortalShortcuts::setRoad(Road road)
{
    if (road == m_road)
        return;
    m_road = std::move(road);
    if (m_roadChanged)
        m_roadChanged();
}
