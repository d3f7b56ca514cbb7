#pragma once

#include <memory>

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
