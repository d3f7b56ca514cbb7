#pragma once

#include <functional>

#include <QObject>

// One Quillo per desktop session: the running one owns a well-known name on the session bus and
// answers a few commands there, so a second launch, a desktop shortcut bound to `quillo
// --trigger` (Wayland sessions, where shortcuts cannot be grabbed) or a script reaches it.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quillo.Quillo")

public:
    static constexpr char serviceName[] = "org.quillo.Quillo";
    static constexpr char objectPath[] = "/org/quillo/Quillo";

    enum class Command { trigger, triggerOcr, settings, knowledge, quit };
    using Handler = std::function<void(Command)>;

    // Commands reach the handler on the main thread, after the caller got its answer.
    explicit SingleInstance(Handler handler, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the name. False when another process holds it; true also when there is no session
    // bus at all (nobody else can be reached either, so this process runs on its own).
    bool claim();
    // Gives the name up, so a successor can take it. Also done on destruction.
    void release();

    // Sends the command to the running instance. False when none runs (or there is no bus).
    // `quit` also waits up to `quitWaitMs` until the instance has let its name go.
    static bool send(Command command, int quitWaitMs = 15000);

public Q_SLOTS:
    Q_SCRIPTABLE void Trigger();
    Q_SCRIPTABLE void TriggerOcr();
    Q_SCRIPTABLE void OpenSettings();
    Q_SCRIPTABLE void OpenKnowledge();
    Q_SCRIPTABLE void Quit();

private:
    void post(Command command);

    Handler m_handler;
    bool m_owned = false;
};
