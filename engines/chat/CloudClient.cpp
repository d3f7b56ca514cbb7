#include "engines/chat/CloudClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include "engines/chat/AnswerBody.h"
#include "engines/chat/AnswerDeadline.h"
#include "engines/chat/ChatStream.h"
#include "engines/chat/ThinkFilter.h"
#include "settings/SettingsStore.h"

using namespace std::chrono_literals;

namespace {

constexpr auto answerTimeout = 30s;
constexpr double chatTemperature = 0.7;
constexpr int chatMaxTokens = 4096;

QJsonObject firstChoice(const QJsonArray& choices)
{
    return choices.isEmpty() ? QJsonObject() : choices.at(0).toObject();
}

struct Call {
    ChatMessages messages;
    double temperature = chatTemperature;
    int maxTokens = chatMaxTokens;
    bool stream = false;
};

// The request for the call, or the configuration problem that prevents it (no traffic then).
std::variant<Http::Request, CloudError> buildRequest(const Call& call)
{
    const auto resolved = CloudClient::resolve();
    if (const auto* error = std::get_if<CloudError>(&resolved))
        return *error;
    const CloudClient::Target& target = std::get<CloudClient::Target>(resolved);
    if (!Http::isWebUrl(target.endpoint))
        return CloudError::invalidEndpoint();

    QJsonArray messages;
    for (const ChatMessage& message : call.messages)
        messages.append(
            QJsonObject{{QStringLiteral("role"), message.role}, {QStringLiteral("content"), message.content}});
    Http::Request request = Http::Request::json("POST", target.endpoint,
                                                {{QStringLiteral("model"), target.model},
                                                 {QStringLiteral("messages"), messages},
                                                 {QStringLiteral("temperature"), call.temperature},
                                                 {QStringLiteral("max_tokens"), call.maxTokens},
                                                 {QStringLiteral("stream"), call.stream}});
    request.headers.append("Authorization: Bearer " + target.apiKey.toUtf8());
    if (call.stream)
        request.headers.append("Accept: text/event-stream");
    request.idleTimeout = answerTimeout;
    request.deadline = answerDeadline(SettingsStore::load());
    return request;
}

ChatFailure transportFailure(const TransportError& error)
{
    return error.code == TransportError::Code::cancelled ? ChatFailure(Cancelled{}) : ChatFailure(error);
}

// The first choice's message content of a one-shot answer; none when there is none.
std::variant<std::optional<QString>, CloudError> firstContent(const QByteArray& bytes)
{
    const auto decoded = AnswerBody::object(bytes);
    if (const auto* reason = std::get_if<QString>(&decoded))
        return CloudError::decodingFailed(*reason);
    const QJsonObject& body = std::get<QJsonObject>(decoded);
    QString problem;
    if (!AnswerBody::fits(body, QStringLiteral("choices"), QJsonValue::Array, problem))
        return CloudError::decodingFailed(problem);
    const QJsonArray choices = body.value(QStringLiteral("choices")).toArray();
    for (const QJsonValue& choice : choices) {
        const QJsonObject message = choice.toObject().value(QStringLiteral("message")).toObject();
        if (!choice.isObject()
            || !AnswerBody::fits(choice.toObject(), QStringLiteral("message"), QJsonValue::Object, problem)
            || !AnswerBody::fits(message, QStringLiteral("content"), QJsonValue::String, problem))
            return CloudError::decodingFailed(problem.isEmpty() ? QStringLiteral("a choice is not an object")
                                                                : problem);
    }
    const QJsonValue content =
        firstChoice(choices).value(QStringLiteral("message")).toObject().value(QStringLiteral("content"));
    if (!content.isString())
        return std::optional<QString>();
    return std::optional<QString>(content.toString());
}

ChatResult chat(const Call& call, bool allowEmpty, std::stop_token stop)
{
    const auto built = buildRequest(call);
    if (const auto* error = std::get_if<CloudError>(&built))
        return ChatResult::failed(*error);
    const Http::Response response = Http::fetch(std::get<Http::Request>(built), stop);
    if (stop.stop_requested())
        return ChatResult::failed(Cancelled{});
    if (response.error)
        return ChatResult::failed(transportFailure(*response.error));
    if (response.status != 200) {
        const QString body = AnswerBody::utf8(response.body).value_or(QStringLiteral("<无法解码的响应体>"));
        return ChatResult::failed(CloudError::httpError(response.status, body));
    }
    const auto content = firstContent(response.body);
    if (allowEmpty) {
        const auto* text = std::get_if<std::optional<QString>>(&content);
        return ChatResult::success(text && *text ? **text : QString());
    }
    if (const auto* error = std::get_if<CloudError>(&content))
        return ChatResult::failed(*error);
    const QString answer = ThinkFilter::strip(std::get<std::optional<QString>>(content).value_or(QString())).trimmed();
    return answer.isEmpty() ? ChatResult::failed(CloudError::emptyResponse()) : ChatResult::success(answer);
}

}

std::variant<CloudClient::Target, CloudError> CloudClient::resolve()
{
    const AppSettings settings = SettingsStore::load();
    const CloudProvider& provider = CloudProviders::find(settings.activeProvider);
    QString endpoint = provider.baseURL;
    if (provider.isCustom()) {
        endpoint = settings.customBaseURL.trimmed();
        if (endpoint.isEmpty())
            return CloudError::missingBaseURL();
    }
    // A key never holds white space or control characters; one pasted with a line break inside
    // must not break the request's headers.
    static const QRegularExpression noise(QStringLiteral(R"([\s\x00-\x1f\x7f])"));
    const QString key = settings.cloudKey(provider.id).remove(noise);
    if (key.isEmpty())
        return CloudError::missingApiKey(SettingsStore::path());
    QString model = settings.cloudModel(provider.id).trimmed();
    if (model.isEmpty())
        model = provider.defaultModel;
    if (model.isEmpty())
        model = QStringLiteral("doubao-seed-2-0-pro-260215");
    return Target{endpoint, key, model, provider};
}

ChatResult CloudClient::runChatStream(const ChatMessages& messages, const DeltaHandler& onDelta, std::stop_token stop)
{
    const auto built = buildRequest({messages, chatTemperature, chatMaxTokens, true});
    if (const auto* error = std::get_if<CloudError>(&built))
        return ChatResult::failed(*error);
    const ChatStreamEnd end = readChatStream(std::get<Http::Request>(built), &CloudClient::parseSSELine, onDelta, stop);
    switch (end.kind) {
    case ChatStreamEnd::Kind::cancelled: return ChatResult::failed(Cancelled{});
    case ChatStreamEnd::Kind::transport: return ChatResult::failed(transportFailure(*end.transport));
    case ChatStreamEnd::Kind::httpStatus:
        return ChatResult::failed(
            CloudError::httpError(end.status, end.message.isEmpty() ? QStringLiteral("<空响应体>") : end.message));
    case ChatStreamEnd::Kind::errorLine: return ChatResult::failed(CloudError::httpError(200, end.message));
    case ChatStreamEnd::Kind::cutOff:
        // Nothing shown yet: the provider gave no answer at all rather than half of one.
        return ChatResult::failed(end.answer.trimmed().isEmpty() ? CloudError::emptyResponse()
                                                                 : CloudError::answerCutOff());
    case ChatStreamEnd::Kind::finished: break;
    }
    const QString answer = end.answer.trimmed();
    return answer.isEmpty() ? ChatResult::failed(CloudError::emptyResponse()) : ChatResult::success(answer);
}

ChatResult CloudClient::runChat(const ChatMessages& messages, std::stop_token stop)
{
    return chat({messages, chatTemperature, chatMaxTokens, false}, false, stop);
}

ChatResult CloudClient::run(const QString& systemPrompt, const QString& user, std::stop_token stop)
{
    return runChat({ChatMessage::system(systemPrompt), ChatMessage::user(user)}, stop);
}

ChatResult CloudClient::smokeTest(std::stop_token stop)
{
    return chat({{ChatMessage::user(QStringLiteral("hi"))}, 0, 1, false}, true, stop);
}

CloudClient::SSELine CloudClient::parseSSELine(const QByteArray& line)
{
    const QByteArray trimmed = line.trimmed();
    if (!trimmed.startsWith("data:"))
        return SSELine::ignore();
    const QByteArray payload = trimmed.mid(5).trimmed();
    if (payload == "[DONE]")
        return SSELine::done();
    const QJsonDocument document = QJsonDocument::fromJson(AnswerBody::repairedUtf8(payload));
    if (!document.isObject())
        return SSELine::ignore();
    const QJsonObject object = document.object();
    if (object.value(QStringLiteral("error")).isObject()) {
        const QJsonValue message = object.value(QStringLiteral("error")).toObject().value(QStringLiteral("message"));
        return SSELine::error(message.isString() ? message.toString() : QStringLiteral("云端返回错误"));
    }
    const QJsonObject first = firstChoice(object.value(QStringLiteral("choices")).toArray());
    // Some providers send the last fragment and the finish reason in one chunk; a usage chunk
    // may still follow before "[DONE]".
    const bool finished = !first.value(QStringLiteral("finish_reason")).toString().isEmpty();
    for (const QString& key : {QStringLiteral("delta"), QStringLiteral("message")}) {
        const QString content = first.value(key).toObject().value(QStringLiteral("content")).toString();
        if (!content.isEmpty())
            return SSELine::delta(content, finished);
    }
    return SSELine::ignore(finished);
}
