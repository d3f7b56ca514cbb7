#include "capture/SelectionCaptureService.h"

#include <QCoreApplication>
#include <QPointer>

#include "core/TaskPool.h"

PlatformSelectionCapture::PlatformSelectionCapture(PlatformServices platform, TaskPool& tasks)
    : m_platform(std::move(platform))
    , m_tasks(tasks)
{
}

PlatformSelectionCapture::~PlatformSelectionCapture()
{
    cancel();
}

void PlatformSelectionCapture::capture(QObject* context, Done done)
{
    if (SelectionCapture::AXAnswer answer = SelectionCapture::askAX(*m_platform.accessibility); answer.result || answer.certain) {
        done(std::move(answer.result));
        return;
    }
    const std::stop_token cancelled = m_inFlight.get_token();
    m_tasks.start([platform = m_platform, context = QPointer<QObject>(context), done = std::move(done),
                   cancelled](std::stop_token stop) {
        std::optional<SelectionCapture::Result> result = SelectionCapture::captureViaCopy(platform, stop);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [context, done, result, cancelled] {
            if (context && !cancelled.stop_requested())
                done(result);
        }, Qt::QueuedConnection);
    }, cancelled);
}

void PlatformSelectionCapture::cancel()
{
    m_inFlight.request_stop();
    m_inFlight = std::stop_source();
}
