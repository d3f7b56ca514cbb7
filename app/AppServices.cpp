#include "app/AppServices.h"

#include "engines/OllamaEmbedder.h"
#include "engines/OllamaEngineControl.h"
#include "popup/ActionEngine.h"

AppServices::AppServices()
    : m_semantic(std::make_shared<OllamaEmbedder>())
    , m_knowledge(KnowledgeStore::defaultPath(), m_semantic)
    , m_actionEngine(std::make_shared<ClientEngine>(std::make_shared<OllamaEngineControl>()))
    // A cancelled task may take a moment to notice; the next one must not queue behind it.
    , m_tasks(8)
{
}

AppServices::~AppServices()
{
    m_tasks.shutdown();
}
