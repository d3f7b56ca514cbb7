#pragma once

#include <memory>
#include <stop_token>

#include "core/ChatMessage.h"
#include "engines/chat/ChatResult.h"
#include "profile/ProfileEngine.h"

class EngineControl;

// What an action session asks of the engines. Both calls block and run on a background task;
// a stop request ends them promptly with `Cancelled`.
class ActionEngine {
public:
    virtual ~ActionEngine() = default;

    // Streams an answer from the local engine (useLocal) or the cloud engine; onDelta gets each
    // fragment on the calling task. The result holds the whole answer.
    virtual ChatResult runChatStream(bool useLocal, const ChatMessages& messages, const DeltaHandler& onDelta,
                                     std::stop_token stop) = 0;

    // The one-shot chat a profile regeneration uses; an empty function when no engine is ready.
    virtual ProfileEngine::OneShotChat profileChat(std::stop_token stop) = 0;
};

// The real engines: QwenClient and CloudClient, and the profile chat of the readiness `engines`
// reports.
class ClientEngine final : public ActionEngine {
public:
    // Sets the HTTP layer up on the creating (main) thread, before any task makes a request.
    explicit ClientEngine(std::shared_ptr<EngineControl> engines);

    ChatResult runChatStream(bool useLocal, const ChatMessages& messages, const DeltaHandler& onDelta,
                             std::stop_token stop) override;
    ProfileEngine::OneShotChat profileChat(std::stop_token stop) override;

private:
    std::shared_ptr<EngineControl> m_engines;
};
