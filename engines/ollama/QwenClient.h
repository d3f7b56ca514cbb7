#pragma once

#include <stop_token>

#include <QByteArray>

#include "core/ChatMessage.h"
#include "engines/chat/ChatResult.h"
#include "engines/chat/StreamLine.h"

// Chat with the local engine, an Ollama server on loopback, through /api/chat. Stateless: every
// call reads the settings afresh, makes sure the engine answers and sends one request. Calls
// block the calling task; cancelling its stop token ends them promptly with `Cancelled`.
// Failures: QwenError, a TransportError that timed out once the engine had begun to answer, or
// Cancelled. An answer counts only once the engine said it was done; each has a deadline.
class QwenClient {
public:
    // The configured local model.
    static QString model();

    // Streams the answer at temperature 0.7; onDelta gets each fragment on this task.
    static ChatResult runChatStream(const ChatMessages& messages, const DeltaHandler& onDelta,
                                    std::stop_token stop = {});
    static ChatResult runChat(const ChatMessages& messages, std::stop_token stop = {});
    static ChatResult run(const QString& systemPrompt, const QString& user, std::stop_token stop = {});
    // A short plain explanation at temperature 0.4 (used by the model download check).
    static ChatResult explain(const QString& text, std::stop_token stop = {});
    // Loads the model into the engine's memory for 30 minutes; never fails.
    static void prewarm(std::stop_token stop = {});

    // Classifies one line of a streamed answer.
    static StreamLine parseOllamaStreamLine(const QByteArray& line);
};
