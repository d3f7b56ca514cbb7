#include "capture/SelectionCaptureService.h"

#include "core/TaskPool.h"
#include "settings/SettingsStore.h"

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
    if (SelectionCapture::AXAnswer answer = SelectionCapture::askAX(*m_platform.accessibility);
        answer.result || answer.certain) {
        done(std::move(answer.result));
        return;
    }
    // Where keys need the user's leave, the choice is read here, with the rest of the settings.
    m_tasks.run(
        context,
        [platform = m_platform, allowed = SettingsStore::load().pasteForMe](std::stop_token stop) {
            return SelectionCapture::captureViaCopy(platform, stop, allowed);
        },
        std::move(done), m_inFlight.get_token());
}

void PlatformSelectionCapture::cancel()
{
    m_inFlight.request_stop();
    m_inFlight = std::stop_source();
}
