#include "engines/ollama/OllamaEngineControl.h"

#include "engines/ollama/OllamaService.h"

AIReadiness OllamaEngineControl::readiness(const AppSettings& settings, std::stop_token stop)
{
    return AIReadiness::current(settings, std::move(stop));
}

bool OllamaEngineControl::isBundled()
{
    return ManagedOllama::isBundled();
}

bool OllamaEngineControl::isRunning(std::stop_token stop)
{
    return OllamaService::isRunning(std::move(stop));
}

bool OllamaEngineControl::ensureRunning(std::stop_token stop)
{
    return OllamaService::ensureRunning(OllamaService::defaultStartWait, std::move(stop));
}

QStringList OllamaEngineControl::models(std::stop_token stop)
{
    return ManagedOllama::listModels(std::move(stop));
}

std::optional<EngineControl::PullError>
OllamaEngineControl::pull(const QString& name, const ProgressHandler& onProgress, std::stop_token stop)
{
    return ManagedOllama::pullModel(name, onProgress, std::move(stop));
}

bool OllamaEngineControl::deleteModel(const QString& name, std::stop_token stop)
{
    return ManagedOllama::deleteModel(name, std::move(stop));
}

QStringList OllamaEngineControl::ownOllamaModels(std::stop_token stop)
{
    return ManagedOllama::externalModels(std::move(stop));
}

LocalEngineHeal::Outcome OllamaEngineControl::heal(std::stop_token stop)
{
    return LocalEngineHeal::attempt(std::move(stop));
}

void OllamaEngineControl::shutdown()
{
    ManagedOllama::terminateSync();
}

QString OllamaEngineControl::baseURL()
{
    return ManagedOllama::baseURL();
}
