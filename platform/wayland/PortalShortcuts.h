#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QVariantMap>

#include "platform/GlobalHotKeys.h"
#include "platform/wayland/PortalRequest.h"

// The user's two shortcuts through the desktop's GlobalShortcuts portal. A session is created
// at start; only when the desktop accepts it (a portal that lists the interface may still refuse
// the session) are both shortcuts bound, once, and the session kept for the whole run. The
// desktop chooses the keys and shows its own dialog; our combination is only the suggestion.
// Anything else (no interface, session refused, binding denied) leaves the road to a binding
// the user makes in the desktop's settings. Talks on a bus connection of its own, whose first
// call registers the application id where the portal asks for one. Main thread only.
class PortalShortcuts final : public QObject, public GlobalHotKeys {
    Q_OBJECT

public:
    PortalShortcuts();
    ~PortalShortcuts() override;

    // Takes the main and screenshot shortcuts (ids 1 and 2) whatever the road: the desktop
    // decides about keys, so nothing is ever "taken". Other ids (Escape) are refused.
    bool grab(quint32 keyCode, quint32 modifiers, quint32 id) override;
    void ungrab(quint32 keyCode, quint32 modifiers) override;
    void setPressedHandler(PressedHandler handler) override { m_pressed = std::move(handler); }
    Road road() const override { return m_road; }
    void setRoadChangedHandler(std::function<void()> handler) override { m_roadChanged = std::move(handler); }

    // The shortcut's id at the portal ("popup", "screenshot"); empty for any other id.
    static QString portalId(quint32 id);
    // The desktop's notation of a suggested trigger ("ALT+LOGO+e"); empty when the key has none.
    static QString preferredTrigger(quint32 keyCode, quint32 modifiers);

private Q_SLOTS:
    void onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp,
                     const QVariantMap& options);

private:
    enum class Step { registering, creating, created, binding, bound, failed };

    void createSession();
    void bindIfReady();
    void request(const QString& method, const QVariantList& arguments, PortalRequest::Answer answer);
    void sessionCreated(uint code, const QVariantMap& results);
    void bound(uint code, const QVariantMap& results);
    // Refused, cancelled or unanswered: the road is a binding in the desktop's own settings.
    void fail();
    void setRoad(Road road);

    QString m_connectionName;
    QDBusConnection m_bus;
    Step m_step = Step::registering;
    QString m_session;
    QHash<quint32, QString> m_wanted;                  // id → suggested trigger
    QHash<QPair<quint32, quint32>, quint32> m_grabbed; // combination → id
    QSet<quint32> m_active;
    Road m_road{Road::Kind::portalPending, {}};
    PressedHandler m_pressed;
    std::function<void()> m_roadChanged;
};
