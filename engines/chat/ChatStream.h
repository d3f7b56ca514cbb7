#pragma once

#include <optional>
#include <stop_token>

#include <QByteArray>

#include "engines/chat/ChatResult.h"
#include "engines/chat/StreamLine.h"
#include "engines/chat/ThinkFilter.h"
#include "engines/http/Http.h"

using StreamLineParser = StreamLine (*)(const QByteArray& line);

// Turns the lines of one streamed answer into fragments: each line is classified by the
// client's parser; fragments are added to the answer and handed to onDelta at once (an opening
// <think> block hidden); an error line or a done line ends the reading. It notes whether the
// answer's end marker arrived.
class ChatStreamReader {
public:
    ChatStreamReader(StreamLineParser parse, DeltaHandler onDelta);

    // Takes one line; false once nothing more is to be read.
    bool consume(const QByteArray& line);
    // At the end of the stream: delivers text that was held back.
    void finish();

    const QString& answer() const { return m_answer; } // delivered so far, untrimmed
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    // Whether the answer's end marker arrived.
    bool complete() const { return m_complete; }

private:
    void deliver(const QString& text);

    StreamLineParser m_parse;
    DeltaHandler m_onDelta;
    ThinkFilter m_filter;
    QString m_answer;
    std::optional<QString> m_errorMessage;
    bool m_complete = false;
};

// How reading one streamed answer over HTTP ended.
struct ChatStreamEnd {
    enum class Kind {
        finished,   // the answer's end marker arrived (reading may have gone on to the end)
        cutOff,     // the stream ended without the answer's end marker; `answer` holds what came
        errorLine,  // the stream carried an error; `message` holds it
        httpStatus, // the status was not 200; `message` holds the body, each line followed by "\n"
        transport,  // the exchange failed; `transport` says how, `status` whether a head came
        cancelled,
    };

    Kind kind = Kind::finished;
    QString answer; // what was delivered, untrimmed
    QString message;
    int status = 0;
    bool connected = false; // the request reached the server
    std::optional<TransportError> transport;
};

// Sends the request and reads its stream; cancellation is checked before each line and at the end.
ChatStreamEnd readChatStream(const Http::Request& request, StreamLineParser parse, const DeltaHandler& onDelta,
                             std::stop_token stop);
