#pragma once

#include <functional>

#include <QObject>

#include "tray/InstanceLock.h"

// One Quillo per desktop session: the running one holds the instance lock of its display and
// owns a well-known name on the session bus, and answers a few commands there, so a second
// launch, a desktop shortcut bound to `quillo --trigger` (Wayland sessions, where shortcuts
// cannot be grabbed) or a script reaches it. Without a session bus the lock alone keeps a second
// tray from starting.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quillo.Quillo")

public:
    static constexpr char serviceName[] = "org.quillo.Quillo";
    static constexpr char objectPath[] = "/org/quillo/Quillo";

    enum class Command { trigger, triggerOCR, settings, knowledge, quit };
    // What became of a command: carried out; nobody runs; an instance owns the name but did not
    // answer in time (stopped or busy: the call stays queued and may reach it later); an
    // instance holds the lock but is not on this session bus, so nothing can reach it.
    enum class Delivery { delivered, notRunning, notAnswering, unreachable };
    using Handler = std::function<void(Command)>;

    // Commands reach the handler on the main thread, after the caller got its answer.
    explicit SingleInstance(Handler handler, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock, then the name. False when another process holds either; without a session
    // bus the lock alone decides (and where no lock can be made, the name alone).
    bool claim();
    // Gives the name and the lock up, so a successor can take them. Also done on destruction.
    void release();

    // Sends the command to the running instance. `quit` also waits up to `quitWaitMs` until the
    // instance has let its name go.
    static Delivery send(Command command, int quitWaitMs = 15000);

public Q_SLOTS:
    // The bus method names are what other versions and desktop shortcuts call: never renamed.
    Q_SCRIPTABLE void Trigger();
    Q_SCRIPTABLE void TriggerOcr();
    Q_SCRIPTABLE void OpenSettings();
    Q_SCRIPTABLE void OpenKnowledge();
    Q_SCRIPTABLE void Quit();

private:
    void post(Command command);

    Handler m_handler;
    InstanceLock m_lock;
    bool m_owned = false;
};
