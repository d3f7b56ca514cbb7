#include "popup/ActionEngine.h"

#include "engines/EngineChats.h"
#include "engines/chat/CloudClient.h"
#include "engines/ollama/EngineControl.h"
#include "engines/ollama/QwenClient.h"
#include "settings/SettingsStore.h"

ClientEngine::ClientEngine(std::shared_ptr<EngineControl> engines)
    : m_engines(std::move(engines))
{
}

ChatResult ClientEngine::runChatStream(bool useLocal, const ChatMessages& messages, const DeltaHandler& onDelta,
                                       std::stop_token stop)
{
    return useLocal ? QwenClient::runChatStream(messages, onDelta, std::move(stop))
                    : CloudClient::runChatStream(messages, onDelta, std::move(stop));
}

ProfileEngine::OneShotChat ClientEngine::profileChat(std::stop_token stop)
{
    return EngineChats::oneShot(m_engines->readiness(SettingsStore::load(), std::move(stop)));
}
