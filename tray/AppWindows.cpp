#include "tray/AppWindows.h"

#include <QApplication>
#include <QPointer>

#include "ocr/ScreenCapturePermission.h"
#include "platform/KeyPositions.h"
#include "tray/PouchIcon.h"
#include "windows/KnowledgeWindow.h"
#include "windows/OnboardingWindow.h"
#include "windows/SettingsWindow.h"

namespace {

// Takes a window away without pulling it from under a call of its own still running.
template <typename Window>
void retire(QPointer<Window>& window)
{
    if (window)
        window->deleteLater();
    window.clear();
}

}

// The settings and knowledge windows delete themselves when closed: kept hidden, their widgets
// and backing stores would hold megabytes for nothing, and a showing builds them from the
// stored state anyway.
struct AppWindows::Windows {
    QPointer<SettingsWindow> settings;
    QPointer<KnowledgeWindow> knowledge;
    std::unique_ptr<OnboardingWindow> onboarding;
};

AppWindows::AppWindows(Services services, Callbacks callbacks, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_callbacks(std::move(callbacks))
    , m_windows(std::make_unique<Windows>())
{
}

AppWindows::~AppWindows()
{
    delete m_windows->settings.data();
    delete m_windows->knowledge.data();
}

bool AppWindows::hasOnboarded()
{
    return OnboardingWindow::hasOnboarded();
}

void AppWindows::showSettings()
{
    if (!m_windows->settings) {
        m_windows->settings = new SettingsWindow(m_services.engines, m_services.tasks, KeyPositions::storedKeyCode);
        m_windows->settings->setAttribute(Qt::WA_DeleteOnClose);
        m_windows->settings->onDownloadModel = [this] { showModelPicker(); };
        // The window is replaced after its own save has returned.
        m_windows->settings->onSaved = [this] {
            QMetaObject::invokeMethod(
                this, [this] { m_callbacks.settingsSaved(); }, Qt::QueuedConnection);
        };
    }
    m_windows->settings->showAndRaise();
}

void AppWindows::showKnowledge()
{
    if (!m_windows->knowledge) {
        m_windows->knowledge =
            new KnowledgeWindow(m_services.knowledge, m_services.tasks, m_services.actionEngine, m_services.clipboard);
        m_windows->knowledge->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_windows->knowledge->showAndRaise();
}

OnboardingWindow& AppWindows::onboarding()
{
    if (!m_windows->onboarding) {
        const OnboardingWindow::Desktop desktop{
            PouchIcon::make(PouchIcon::colorFor(QApplication::palette())),
            ScreenCapturePermission::askedFor() ? OnboardingWindow::ScreenCapture::askFirst
                                                : OnboardingWindow::ScreenCapture::free,
            [] { return ScreenCapturePermission::effectiveAccess(); },
        };
        m_windows->onboarding = std::make_unique<OnboardingWindow>(m_services.engines, m_services.tasks, desktop);
    }
    return *m_windows->onboarding;
}

void AppWindows::showOnboarding()
{
    onboarding().showAndRaise();
}

void AppWindows::showModelPicker()
{
    onboarding().showModelPicker();
}

bool AppWindows::onboardingShowing() const
{
    return m_windows->onboarding && m_windows->onboarding->isVisible();
}

void AppWindows::renew()
{
    retire(m_windows->settings);
    retire(m_windows->knowledge);
}
