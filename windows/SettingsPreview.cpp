#include <QComboBox>
#include <QCoreApplication>
#include <QDir>

#include "core/TaskPool.h"
#include "settings/CloudProviders.h"
#include "windows/SettingsWindow.h"

// The picture asks no engine: it shows the controls as loaded from the stored settings.
QStringList SettingsWindow::renderPreview(const QString& dir)
{
    TaskPool tasks(1);
    SettingsWindow window(nullptr, tasks, {});
    window.loadIntoControls();
    const QString provider = qEnvironmentVariable("SELVANE_PREVIEW_PROVIDER");
    const auto& providers = CloudProviders::all();
    for (int i = 0; i < providers.size(); ++i) {
        if (providers[i].id == provider) {
            window.m_providerPopup->setCurrentIndex(i);
            window.providerChanged(i);
        }
    }
    if (qEnvironmentVariable("SELVANE_PREVIEW_HOTKEY") == QLatin1String("recording")) {
        window.m_hotkeyRecorder->startRecording();
    } else {
        window.m_hotkeyRecorder->setPending({AppSettings::defaultHotKeyCode, AppSettings::defaultHotKeyModifiers});
        window.m_hotkeyRecorder->clearHint();
    }
    window.m_ocrHotkeyRecorder->setPending({AppSettings::defaultOCRHotKeyCode, AppSettings::defaultOCRHotKeyModifiers});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest); // the recorder's new title resizes its button
    window.m_content->adjustSize();
    const QString path = QDir(dir).filePath(QStringLiteral("settings.png"));
    const bool written = window.m_content->grab().save(path);
    window.m_hotkeyRecorder->stopRecording();
    return written ? QStringList{path} : QStringList{};
}
