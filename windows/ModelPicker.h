#pragma once

#include <memory>
#include <optional>
#include <stop_token>

#include <QStringList>
#include <QWidget>

#include "engines/ollama/ManagedOllama.h"

class EngineControl;
class TaskPool;
class QLabel;
class QProgressBar;
class QVBoxLayout;

// The getting-started window's model step: finds a model already downloaded or the user's own
// Ollama, offers the three recommended models and the cloud, and downloads the chosen model with
// a progress bar that can be cancelled. Its content is replaced at every step; only one download
// runs at a time, and a result of a replaced step is never shown.
class ModelPicker : public QWidget {
    Q_OBJECT
public:
    ModelPicker(std::shared_ptr<EngineControl> engines, TaskPool& tasks, QWidget* parent = nullptr);
    ~ModelPicker() override;

    // Looks for a downloaded model, then for the user's own Ollama, else offers the picker.
    void detect();
    void showPicker();
    // Stops a running download (closing the window does).
    void cancelDownload();

private:
    using PullPhase = ManagedOllama::PullPhase;
    using PullError = ManagedOllama::PullError;

    struct Found {
        QStringList builtIn;
        QStringList own;
    };

    void replaceContent(QWidget* content);
    void showReady(const QString& text);
    void showExternal(const QStringList& models);
    void showCloudChosen();
    void showError(const QString& description, const QString& modelId);
    void adopt(const QString& model);
    void startDownload(const ManagedOllama::ModelChoice& choice);
    void applyProgress(const PullPhase& phase, const QString& text);
    void finishDownload(const std::optional<PullError>& error, const ManagedOllama::ModelChoice& choice);
    void useModel(const QString& model, bool external);

    std::shared_ptr<EngineControl> m_engines;
    TaskPool& m_tasks;
    QVBoxLayout* m_layout;
    QWidget* m_content = nullptr;
    std::optional<QString> m_selectedModelId;
    std::stop_source m_download;
    int m_step = 0; // bumped by every step change, so late results of an earlier step are dropped
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_progressLabel = nullptr;
};
