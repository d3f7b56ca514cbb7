#include "engines/QwenClient.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "engines/AnswerBody.h"
#include "engines/ChatStream.h"
#include "engines/ManagedOllama.h"
#include "engines/OllamaService.h"
#include "engines/ThinkFilter.h"
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
    const Http::Response response = Http::fetch(
        chatRequest(std::get<QString>(ready), chatBody(model, messages, false, temperature), answerTimeout), stop);
    if (stop.stop_requested())
        return ChatResult::failed(Cancelled{});
    if (response.error)
        return ChatResult::failed(QwenError::ollamaNotRunning());
    if (response.status != 200)
        return ChatResult::failed(statusError(response.status, AnswerBody::utf8(response.body).value_or(QString()), model));

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
        return ChatResult::failed(error.toLower().contains(QLatin1String("not found")) ? QwenError::modelNotReady(model)
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
    const ChatStreamEnd end = readChatStream(
        chatRequest(std::get<QString>(ready), chatBody(model, messages, true, chatTemperature), answerTimeout),
        &QwenClient::parseOllamaStreamLine, onDelta, stop);
    switch (end.kind) {
    case ChatStreamEnd::Kind::cancelled:
        return ChatResult::failed(Cancelled{});
    case ChatStreamEnd::Kind::transport:
        // Before the head the engine was not there at all; after it the stream broke.
        return ChatResult::failed(end.status == 0 ? ChatFailure(QwenError::ollamaNotRunning()) : ChatFailure(*end.transport));
    case ChatStreamEnd::Kind::httpStatus:
        return ChatResult::failed(statusError(end.status, end.message, model));
    case ChatStreamEnd::Kind::errorLine:
        return ChatResult::failed(end.message.toLower().contains(QLatin1String("not found")) ? QwenError::modelNotReady(model)
                                                                                             : QwenError::httpError(200, end.message));
    case ChatStreamEnd::Kind::finished:
        break;
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
        ChatMessage::system(QStringLiteral("你是简洁的中文解释助手。用大白话解释用户给的内容，3-5 句话，准确、不啰嗦。\n"
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
    const QJsonDocument document = QJsonDocument::fromJson(line.trimmed());
    if (!document.isObject())
        return StreamLine::ignore();
    const QJsonObject object = document.object();
    const QString error = object.value(QStringLiteral("error")).toString();
    if (!error.isEmpty())
        return StreamLine::error(error);
    const QString content = object.value(QStringLiteral("message")).toObject().value(QStringLiteral("content")).toString();
    if (!content.isEmpty())
        return StreamLine::delta(content);
    if (object.value(QStringLiteral("done")).toBool())
        return StreamLine::done();
    return StreamLine::ignore();
}
