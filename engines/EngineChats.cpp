#include "engines/EngineChats.h"

#include "engines/chat/CloudClient.h"
#include "engines/ollama/QwenClient.h"

ProfileEngine::OneShotChat EngineChats::oneShot(AIReadiness readiness)
{
    using Call = ChatResult (*)(const ChatMessages&, std::stop_token);
    const Call call = readiness == AIReadiness::localReady ? &QwenClient::runChat
        : readiness == AIReadiness::cloudOnly              ? &CloudClient::runChat
                                                           : nullptr;
    if (!call)
        return {};
    return [call](const ChatMessages& messages, std::stop_token stop) -> std::optional<QString> {
        const ChatResult result = call(messages, stop);
        if (!result.ok())
            return std::nullopt;
        return result.answer;
    };
}
