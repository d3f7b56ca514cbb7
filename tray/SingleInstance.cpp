#include "tray/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

namespace {

constexpr int answerWaitMs = 5000;

const char* methodOf(SingleInstance::Command command)
{
    switch (command) {
    case SingleInstance::Command::trigger: return "Trigger";
    case SingleInstance::Command::triggerOCR: return "TriggerOcr";
    case SingleInstance::Command::settings: return "OpenSettings";
    case SingleInstance::Command::knowledge: return "OpenKnowledge";
    case SingleInstance::Command::quit: return "Quit";
    }
    return "";
}

bool nameHasOwner(const QDBusConnection& bus)
{
    return bus.interface()
        && bus.interface()->isServiceRegistered(QString::fromLatin1(SingleInstance::serviceName)).value();
}

}

SingleInstance::SingleInstance(Handler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{
}

SingleInstance::~SingleInstance()
{
    release();
}

bool SingleInstance::claim()
{
    if (m_lock.acquire() == InstanceLock::Outcome::heldElsewhere)
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return true;
    bus.registerObject(QString::fromLatin1(objectPath), this, QDBusConnection::ExportScriptableSlots);
    const auto reply =
        bus.interface()->registerService(QString::fromLatin1(serviceName), QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    m_owned = reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
    if (!m_owned) {
        bus.unregisterObject(QString::fromLatin1(objectPath));
        m_lock.release();
    }
    return m_owned;
}

void SingleInstance::release()
{
    if (m_owned) {
        m_owned = false;
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(objectPath));
        bus.unregisterService(QString::fromLatin1(serviceName));
    }
    m_lock.release();
}

SingleInstance::Delivery SingleInstance::send(Command command, int quitWaitMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !nameHasOwner(bus))
        return InstanceLock::heldElsewhere() ? Delivery::unreachable : Delivery::notRunning;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(serviceName), QString::fromLatin1(objectPath), QString::fromLatin1("org.quillo.Quillo"),
        QString::fromLatin1(methodOf(command)));
    const QDBusMessage reply = bus.call(call, QDBus::Block, answerWaitMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return nameHasOwner(bus) ? Delivery::notAnswering : Delivery::notRunning;
    if (command == Command::quit) {
        // The instance lets its name go last, after its engine and its shortcuts.
        const QDeadlineTimer deadline(quitWaitMs);
        while (nameHasOwner(bus) && !deadline.hasExpired())
            QThread::msleep(20);
    }
    return Delivery::delivered;
}

void SingleInstance::Trigger()
{
    post(Command::trigger);
}
void SingleInstance::TriggerOcr()
{
    post(Command::triggerOCR);
}
void SingleInstance::OpenSettings()
{
    post(Command::settings);
}
void SingleInstance::OpenKnowledge()
{
    post(Command::knowledge);
}
void SingleInstance::Quit()
{
    post(Command::quit);
}

void SingleInstance::post(Command command)
{
    // The caller's reply goes out first; a quit then ends the loop this call came in on.
    QTimer::singleShot(0, this, [this, command] {
        if (m_handler)
            m_handler(command);
    });
}
