#include "engines/chat/ChatStream.h"

#include "engines/chat/AnswerBody.h"

ChatStreamReader::ChatStreamReader(StreamLineParser parse, DeltaHandler onDelta)
    : m_parse(parse)
    , m_onDelta(std::move(onDelta))
{
}

bool ChatStreamReader::consume(const QByteArray& line)
{
    const StreamLine parsed = m_parse(line);
    m_complete = m_complete || parsed.endsAnswer;
    switch (parsed.kind) {
    case StreamLine::Kind::delta: deliver(m_filter.feed(parsed.text)); return true;
    case StreamLine::Kind::error: m_errorMessage = parsed.text; return false;
    case StreamLine::Kind::done: return false;
    case StreamLine::Kind::ignore: return true;
    }
    return true;
}

void ChatStreamReader::finish()
{
    deliver(m_filter.finish());
}

void ChatStreamReader::deliver(const QString& text)
{
    if (text.isEmpty())
        return;
    m_answer += text;
    m_onDelta(text);
}

ChatStreamEnd readChatStream(const Http::Request& request, StreamLineParser parse, const DeltaHandler& onDelta,
                             std::stop_token stop)
{
    ChatStreamReader reader(parse, onDelta);
    const Http::Response response = Http::streamLines(
        request, [&](const QByteArray& line) { return !stop.stop_requested() && reader.consume(line); }, stop);

    ChatStreamEnd end;
    end.status = response.status;
    end.connected = response.connected;
    if (stop.stop_requested() || (response.error && response.error->code == TransportError::Code::cancelled)) {
        end.kind = ChatStreamEnd::Kind::cancelled;
    } else if (response.error) {
        end.kind = ChatStreamEnd::Kind::transport;
        end.transport = response.error;
    } else if (response.status != 200) {
        end.kind = ChatStreamEnd::Kind::httpStatus;
        end.message = AnswerBody::lines(response.body);
    } else if (reader.errorMessage()) {
        end.kind = ChatStreamEnd::Kind::errorLine;
        end.message = *reader.errorMessage();
    } else {
        reader.finish();
        if (!reader.complete())
            end.kind = ChatStreamEnd::Kind::cutOff;
    }
    end.answer = reader.answer();
    return end;
}
