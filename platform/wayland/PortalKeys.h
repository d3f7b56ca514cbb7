#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include "platform/SyntheticKeys.h"

// Keys typed through the desktop's RemoteDesktop portal (GNOME, KDE): a session with a keyboard,
// started on the first need, for which the desktop asks the user. Where the portal can remember
// the grant (version 2), the session asks to persist it (mode 2) and the token it returns is kept
// where the caller keeps it, so later runs start without asking. Keys go to whatever window is active.
// prepare() on the main thread; sendChord() from any thread.
class PortalKeys final : public QObject, public SyntheticKeys {
    Q_OBJECT

public:
    // Reads and keeps the grant's token between runs; either may be empty.
    struct TokenStore {
        std::function<QString()> read;
        std::function<void(const QString&)> write;
    };

    explicit PortalKeys(TokenStore tokens);
    ~PortalKeys() override;

    bool canSend() override;
    bool needsLeave() override { return true; }
    void prepare(bool askUser, Ready ready) override;
    // A portal keyboard has its own modifiers: the user's held keys do not mix in.
    bool modifiersHeld() override { return false; }
    bool sendChord(quint32 keyCode, quint32 modifiers) override;

private:
    enum class State { idle, starting, started };

    void selectDevices(const QString& session, uint version, bool askUser);
    void start(const QString& session, uint version);
    // A refused session is closed, so the desktop forgets it.
    void closeSession(const QString& session);
    void finish(bool started);
    QString storedToken() const;

    TokenStore m_tokens;
    QString m_connectionName;
    QDBusConnection m_bus;
    bool m_registered = false;
    State m_state = State::idle;
    std::vector<Ready> m_waiting;

    mutable std::mutex m_sessionMutex; // sendChord reads the session from any thread
    QString m_session;                 // set once started
};
