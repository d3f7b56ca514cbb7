#pragma once

#include <optional>
#include <stop_token>

#include <QString>
#include <QStringList>

#include "engines/ollama/AIReadiness.h"
#include "engines/ollama/LocalEngineHeal.h"
#include "engines/ollama/ManagedOllama.h"

struct AppSettings;

// What the interface layer asks of the local engines: readiness, starting and stopping, models
// and their downloads, the user's own Ollama and healing. Every call that may block takes a stop
// token and returns promptly once it fires; such calls belong on a background task, never on the
// GUI thread. The composition root builds the real one and hands it down.
class EngineControl {
public:
    using PullError = ManagedOllama::PullError;
    using ProgressHandler = ManagedOllama::ProgressHandler;

    virtual ~EngineControl() = default;

    // Whether an action can run, and on which kind of engine.
    virtual AIReadiness readiness(const AppSettings& settings, std::stop_token stop) = 0;

    // The bundle carries the built-in engine. A file check: does not block.
    virtual bool isBundled() = 0;
    // The local engine the settings select answers now.
    virtual bool isRunning(std::stop_token stop) = 0;
    // Makes that engine answer and waits; true once it does. Starts the built-in engine when the
    // settings select it and the bundle carries it, else the user's own `ollama serve` if installed.
    virtual bool ensureRunning(std::stop_token stop) = 0;

    // The models of the local engine the settings select; empty on any failure.
    virtual QStringList models(std::stop_token stop) = 0;
    bool hasModel(const QString& name, std::stop_token stop)
    {
        return ManagedOllama::listsModel(models(std::move(stop)), name);
    }
    // Downloads a model into the built-in engine, reporting progress on the calling task; a stop
    // request ends it with `cancelled`. Nothing on success.
    virtual std::optional<PullError> pull(const QString& name, const ProgressHandler& onProgress,
                                          std::stop_token stop) = 0;
    virtual bool deleteModel(const QString& name, std::stop_token stop) = 0;

    // The models of the user's own Ollama on its standard port, whatever the settings say.
    virtual QStringList ownOllamaModels(std::stop_token stop) = 0;
    // Switches an empty built-in engine to the user's own Ollama when that one has a model.
    virtual LocalEngineHeal::Outcome heal(std::stop_token stop) = 0;

    // Stops the built-in engine this process started (SIGTERM, SIGKILL after 3 s); blocking, for
    // quitting.
    virtual void shutdown() = 0;
    // The local engine's address for the current settings.
    virtual QString baseURL() = 0;
};
