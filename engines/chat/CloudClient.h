#pragma once

#include <stop_token>
#include <variant>

#include <QByteArray>

#include "core/ChatMessage.h"
#include "engines/chat/ChatResult.h"
#include "engines/chat/StreamLine.h"
#include "settings/CloudProviders.h"

// Chat with the cloud provider chosen in the settings over the OpenAI-compatible
// chat-completions protocol, with the user's key as bearer. Stateless: provider, endpoint, key
// and model are resolved afresh for every call. Calls block the calling task; cancelling its
// stop token ends them promptly with `Cancelled`. Failures: CloudError, a TransportError passed
// through unchanged, or Cancelled. A streamed answer counts only once "[DONE]" or a finish reason
// arrived; each answer has a deadline.
class CloudClient {
public:
    struct Target {
        QString endpoint;
        QString apiKey;
        QString model;
        CloudProvider provider;
    };

    using SSELine = StreamLine;

    // The provider, endpoint, key and model the next request goes to.
    static std::variant<Target, CloudError> resolve();

    // Streams the answer at temperature 0.7; onDelta gets each fragment on this task.
    static ChatResult runChatStream(const ChatMessages& messages, const DeltaHandler& onDelta,
                                    std::stop_token stop = {});
    static ChatResult runChat(const ChatMessages& messages, std::stop_token stop = {});
    static ChatResult run(const QString& systemPrompt, const QString& user, std::stop_token stop = {});
    // The settings window's connection test: one token, an empty answer is fine.
    static ChatResult smokeTest(std::stop_token stop = {});

    // Classifies one line of a server-sent event stream.
    static SSELine parseSSELine(const QByteArray& line);
};
