#pragma once

#include <algorithm>
#include <memory>

#include <QFileInfo>

#include "engines/ollama/OllamaService.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakeServers.h"

// fake_ollama on port 11434 holding `model`, with the settings pointed at the user's own Ollama
// there; nothing when it could not be set up. For NETNS tests.
inline std::unique_ptr<FakeOllamaServer> ownOllamaWith(const QString& model)
{
    auto ollama = std::make_unique<FakeOllamaServer>();
    AppSettings settings = SettingsStore::load();
    settings.useExternalOllama = true;
    if (!ollama->isAnswering() || !ollama->pull(model) || !SettingsStore::save(settings))
        return nullptr;
    return ollama;
}

// An `ollama` installed outside the home directory, which changes what "no local engine" means.
inline bool systemHasOllama()
{
    const QStringList elsewhere = OllamaService::executableLocations().mid(1);
    return std::any_of(elsewhere.begin(), elsewhere.end(), [](const QString& path) { return QFileInfo::exists(path); });
}
