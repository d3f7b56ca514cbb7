#include <QDir>

#include "core/TaskPool.h"
#include "engines/ollama/EngineControl.h"
#include "windows/ModelPicker.h"
#include "windows/OnboardingWindow.h"

namespace {

// The engines of the picture: a built-in engine is present (so the model step shows) and nothing
// is ever asked of it.
class PictureEngines final : public EngineControl {
public:
    AIReadiness readiness(const AppSettings&, std::stop_token) override { return AIReadiness::neitherConfigured; }
    bool isBundled() override { return true; }
    bool isRunning(std::stop_token) override { return false; }
    bool ensureRunning(std::stop_token) override { return false; }
    QStringList models(std::stop_token) override { return {}; }
    std::optional<PullError> pull(const QString&, const ProgressHandler&, std::stop_token) override
    {
        return PullError{PullError::Case::notBundled, 0, {}};
    }
    bool deleteModel(const QString&, std::stop_token) override { return false; }
    QStringList ownOllamaModels(std::stop_token) override { return {}; }
    LocalEngineHeal::Outcome heal(std::stop_token) override { return LocalEngineHeal::Outcome::noChange(); }
    void shutdown() override { }
    QString baseURL() override { return {}; }
};

}

QStringList OnboardingWindow::renderPreview(const QString& dir)
{
    TaskPool tasks(1);
    OnboardingWindow window(std::make_shared<PictureEngines>(), tasks, Desktop{});
    window.m_modelPicker->showPicker();
    window.refreshPermissions();
    window.resize(window.sizeHint()); // its whole height: adjustSize would cap it to the screen
    const QString path = QDir(dir).filePath(QStringLiteral("onboarding.png"));
    return window.grab().save(path) ? QStringList{path} : QStringList{};
}
