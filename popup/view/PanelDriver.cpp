#include "popup/view/PanelDriver.h"

#include <optional>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPushButton>

#include "popup/ActionSession.h"

PanelDriver::Run PanelDriver::clickForAnswer(const QString& name, int timeoutMs)
{
    QPushButton* button = named<QPushButton>(name);
    if (!button || !button->isEnabled())
        return Run::noControl;
    m_failure.clear();
    std::optional<Run> ended;
    const auto fail = [&](const QString& message) {
        ended = Run::failed;
        m_failure = message;
    };
    ActionSession& session = m_panel.session();
    const QMetaObject::Connection connections[] = {
        QObject::connect(&session, &ActionSession::answered, [&] { ended = Run::answered; }),
        QObject::connect(&session, &ActionSession::runFailed, [&](const QString& message) { fail(message); }),
        QObject::connect(&session, &ActionSession::revisionFailed, fail),
    };
    button->click();
    const QDeadlineTimer deadline(timeoutMs);
    while (!ended && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    for (const QMetaObject::Connection& connection : connections)
        QObject::disconnect(connection);
    return ended.value_or(Run::timedOut);
}
