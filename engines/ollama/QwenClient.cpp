#include "engines/ollama/QwenClient.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "engines/chat/AnswerBody.h"
#include "engines/chat/AnswerDeadline.h"
#include "engines/chat/ChatStream.h"
#include "engines/chat/ThinkFilter.h"
#include "engines/ollama/ManagedOllama.h"
#include "engines/ollama/OllamaService.h"
#include "settings/SettingsStore.h"

using namespace std::chrono_literals;

namespace {

constexpr auto answerTimeout = 120s;
constexpr double chatTemperature = 0.7;

QJsonArray wireMessages(const ChatMessages& messages)
{
    QJsonArray wire;
    for (const ChatMessage& message : messages)
        wire.append(QJsonObject{{QStringLiteral("role"), message.role}, {QStringLiteral("content"), message.content}});
    return wire;
}

Http::Request chatRequest(const QString& endpoint, const QJsonObject& body, std::chrono::seconds timeout)
{
    Http::Request request = Http::Request::json("POST", endpoint, body);
    request.idleTimeout = timeout;
    return request;
}

// A request for an answer: besides the wait for each piece, the whole answer has its deadline.
Http::Request answerRequest(const QString& endpoint, const QJsonObject& body)
{
    Http::Request request = chatRequest(endpoint, body, answerTimeout);
    request.deadline = answerDeadline(SettingsStore::load());
    return request;
}

// What a failed exchange with the engine says about it. Refused at the door, the engine is not
// running; let in and never answered, it is running but stuck or busy; broken after the head,
// the answer was cut off. A timeout after the head stays one.
ChatFailure exchangeFailure(const TransportError& error, int status, bool connected)
{
    if (error.code == TransportError::Code::cancelled)
        return Cancelled{};
    if (status != 0)
        return error.code == TransportError::Code::timedOut ? ChatFailure(error)
                                                            : ChatFailure(QwenError::answerCutOff());
    return connected ? QwenError::notAnswering() : QwenError::ollamaNotRunning();
}

QJsonObject chatBody(const QString& model, const ChatMessages& messages, bool stream, double temperature)
{
    QJsonObject body{{QStringLiteral("model"), model},
                     {QStringLiteral("messages"), wireMessages(messages)},
                     {QStringLiteral("stream"), stream},
                     {QStringLiteral("options"), QJsonObject{{QStringLiteral("temperature"), temperature}}}};
    if (stream)
        body.insert(QStringLiteral("keep_alive"), QStringLiteral("30m"));
    return body;
}

bool meansModelMissing(const QString& text)
{
    return text.toLower().contains(QLatin1String("not found")) || text.contains(QLatin1String("try pulling"));
}

// A refusal by status: a missing model in any wording, else the status with its body.
QwenError statusError(int status, const QString& body, const QString& model)
{
    if (status == 404 || meansModelMissing(body))
        return QwenError::modelNotReady(model);
    return QwenError::httpError(status, body);
}

// The endpoint once the engine answers, or why there is none.
std::variant<QString, ChatFailure> readyEndpoint(std::stop_token stop)
{
    const QString endpoint = ManagedOllama::chatEndpoint();
    if (!Http::isWebUrl(endpoint))
        return QwenError::ollamaNotRunning();
    if (!OllamaService::ensureRunning(OllamaService::defaultStartWait, stop))
        return stop.stop_requested() ? ChatFailure(Cancelled{}) : ChatFailure(QwenError::ollamaNotRunning());
    return endpoint;
}

ChatResult answerOf(const QString& text)
{
    const QString answer = text.trimmed();
    return answer.isEmpty() ? ChatResult::failed(QwenError::emptyResponse()) : ChatResult::success(answer);
}

ChatResult chat(const ChatMessages& messages, double temperature, std::stop_token stop)
{
    const auto ready = readyEndpoint(stop);
    if (const auto* failure = std::get_if<ChatFailure>(&ready))
        return ChatResult::failed(*failure);
    const QString model = QwenClient::model();
    const Http::Response response =
        Http::fetch(answerRequest(std::get<QString>(ready), chatBody(model, messages, false, temperature)), stop);
    if (stop.stop_requested())
        return ChatResult::failed(Cancelled{});
    if (response.error)
        return ChatResult::failed(exchangeFailure(*response.error, response.status, response.connected));
    if (response.status != 200)
        return ChatResult::failed(
            statusError(response.status, AnswerBody::utf8(response.body).value_or(QString()), model));

    const auto decoded = AnswerBody::object(response.body);
    if (const auto* reason = std::get_if<QString>(&decoded))
        return ChatResult::failed(QwenError::decodingFailed(*reason));
    const QJsonObject& body = std::get<QJsonObject>(decoded);
    const QJsonObject message = body.value(QStringLiteral("message")).toObject();
    QString problem;
    if (!AnswerBody::fits(body, QStringLiteral("message"), QJsonValue::Object, problem)
        || !AnswerBody::fits(message, QStringLiteral("content"), QJsonValue::String, problem)
        || !AnswerBody::fits(body, QStringLiteral("error"), QJsonValue::String, problem))
        return ChatResult::failed(QwenError::decodingFailed(problem));
    const QString error = body.value(QStringLiteral("error")).toString();
    if (!error.isEmpty()) {
        return ChatResult::failed(error.toLower().contains(QLatin1String("not found"))
                                      ? QwenError::modelNotReady(model)
                                      : QwenError::httpError(200, error));
    }
    return answerOf(ThinkFilter::strip(message.value(QStringLiteral("content")).toString()));
}

}

QString QwenClient::model()
{
    return SettingsStore::load().qwenModel;
}

ChatResult QwenClient::runChatStream(const ChatMessages& messages, const DeltaHandler& onDelta, std::stop_token stop)
{
    const auto ready = readyEndpoint(stop);
    if (const auto* failure = std::get_if<ChatFailure>(&ready))
        return ChatResult::failed(*failure);
    const QString model = QwenClient::model();
    const ChatStreamEnd end =
        readChatStream(answerRequest(std::get<QString>(ready), chatBody(model, messages, true, chatTemperature)),
                       &QwenClient::parseOllamaStreamLine, onDelta, stop);
    switch (end.kind) {
    case ChatStreamEnd::Kind::cancelled: return ChatResult::failed(Cancelled{});
    case ChatStreamEnd::Kind::transport:
        return ChatResult::failed(exchangeFailure(*end.transport, end.status, end.connected));
    case ChatStreamEnd::Kind::httpStatus: return ChatResult::failed(statusError(end.status, end.message, model));
    case ChatStreamEnd::Kind::errorLine:
        return ChatResult::failed(end.message.toLower().contains(QLatin1String("not found"))
                                      ? QwenError::modelNotReady(model)
                                      : QwenError::httpError(200, end.message));
    case ChatStreamEnd::Kind::cutOff:
        // Nothing shown yet: the engine gave no answer at all rather than half of one.
        return ChatResult::failed(end.answer.trimmed().isEmpty() ? QwenError::emptyResponse()
                                                                 : QwenError::answerCutOff());
    case ChatStreamEnd::Kind::finished: break;
    }
    return answerOf(end.answer);
}

ChatResult QwenClient::runChat(const ChatMessages& messages, std::stop_token stop)
{
    return chat(messages, chatTemperature, stop);
}

ChatResult QwenClient::run(const QString& systemPrompt, const QString& user, std::stop_token stop)
{
    return runChat({ChatMessage::system(systemPrompt), ChatMessage::user(user)}, stop);
}

ChatResult QwenClient::explain(const QString& text, std::stop_token stop)
{
    const ChatMessages messages = {
        ChatMessage::system(
            QStringLiteral("你是简洁的中文解释助手。用大白话解释用户给的内容，3-5 句话，准确、不啰嗦。\n"
                           "不确定的事实不要编造，不确定就直说。只输出解释本身。")),
        ChatMessage::user(QStringLiteral("请解释下面这段内容：\n") + text),
    };
    return chat(messages, 0.4, stop);
}

void QwenClient::prewarm(std::stop_token stop)
{
    const auto ready = readyEndpoint(stop);
    if (!std::holds_alternative<QString>(ready))
        return;
    QJsonObject body = chatBody(model(), {ChatMessage::user(QStringLiteral("hi"))}, false, 0);
    body.insert(QStringLiteral("keep_alive"), QStringLiteral("30m"));
    Http::fetch(chatRequest(std::get<QString>(ready), body, 30s), stop);
}

StreamLine QwenClient::parseOllamaStreamLine(const QByteArray& line)
{
    const QJsonDocument document = QJsonDocument::fromJson(AnswerBody::repairedUtf8(line.trimmed()));
    if (!document.isObject())
        return StreamLine::ignore();
    const QJsonObject object = document.object();
    const QString error = object.value(QStringLiteral("error")).toString();
    if (!error.isEmpty())
        return StreamLine::error(error);
    const bool done = object.value(QStringLiteral("done")).toBool();
    const QString content =
        object.value(QStringLiteral("message")).toObject().value(QStringLiteral("content")).toString();
    if (!content.isEmpty())
        return StreamLine::delta(content, done);
    return done ? StreamLine::done() : StreamLine::ignore();
}
