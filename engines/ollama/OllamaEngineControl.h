#pragma once

#include "engines/ollama/EngineControl.h"

// The real engines: the built-in engine (ManagedOllama), the user's own Ollama (OllamaService)
// and healing (LocalEngineHeal). Holds no state of its own: the settings live in SettingsStore,
// and the one engine process in EngineProcess, process-wide so that it is stopped with us
// whatever ends the process.
class OllamaEngineControl final : public EngineControl {
public:
    AIReadiness readiness(const AppSettings& settings, std::stop_token stop) override;
    bool isBundled() override;
    bool isRunning(std::stop_token stop) override;
    bool ensureRunning(std::stop_token stop) override;
    QStringList models(std::stop_token stop) override;
    std::optional<PullError> pull(const QString& name, const ProgressHandler& onProgress,
                                  std::stop_token stop) override;
    bool deleteModel(const QString& name, std::stop_token stop) override;
    QStringList ownOllamaModels(std::stop_token stop) override;
    LocalEngineHeal::Outcome heal(std::stop_token stop) override;
    void shutdown() override;
    QString baseURL() override;
};
