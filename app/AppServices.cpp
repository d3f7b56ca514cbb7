#include "app/AppServices.h"

#include "engines/ollama/OllamaEmbedder.h"
#include "engines/ollama/OllamaEngineControl.h"
#include "popup/ActionEngine.h"
#include "settings/SettingsStore.h"

AppServices::AppServices()
    : m_platform(Platform::services())
    , m_semantic(std::make_shared<OllamaEmbedder>())
    , m_knowledge(KnowledgeStore::defaultPath(), m_semantic)
    , m_engines(std::make_shared<OllamaEngineControl>())
    , m_actionEngine(std::make_shared<ClientEngine>(m_engines))
    // A cancelled task may take a moment to notice; the next one must not queue behind it.
    , m_tasks(8)
    , m_selectionCapture(std::make_unique<PlatformSelectionCapture>(m_platform, m_tasks))
{
    // Another embedding model or engine address may serve semantic recall now.
    m_settingsListener =
        SettingsStore::addChangeListener([this](const AppSettings&) { m_semantic.forgetAvailability(); });
}

AppServices::~AppServices()
{
    SettingsStore::removeChangeListener(m_settingsListener);
    m_selectionCapture.reset();
    m_tasks.shutdown();
}
