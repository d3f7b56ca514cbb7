#include "popup/ActionEngine.h"

#include "engines/AIReadiness.h"
#include "engines/EngineChats.h"
#include "engines/CloudClient.h"
#include "engines/QwenClient.h"
#include "engines/http/Http.h"
#include "settings/SettingsStore.h"

ClientEngine::ClientEngine()
{
    Http::initialise();
}

ChatResult ClientEngine::runChatStream(bool useLocal, const ChatMessages& messages, const DeltaHandler& onDelta,
                                       std::stop_token stop)
{
    return useLocal ? QwenClient::runChatStream(messages, onDelta, std::move(stop))
                    : CloudClient::runChatStream(messages, onDelta, std::move(stop));
}

ProfileEngine::OneShotChat ClientEngine::profileChat()
{
    return EngineChats::oneShot(AIReadiness::current(SettingsStore::load()));
}
