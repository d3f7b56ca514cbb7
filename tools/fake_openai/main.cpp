// fake_openai: an OpenAI-compatible chat-completions server for tests and demos.
//
//   fake_openai [--listen HOST:PORT] [--api-key KEY] [--record FILE]
//
// POST <any path ending in>/chat/completions answers one-shot JSON, or server-sent events when the
// body says "stream": true (a ": keep-alive" comment, a role-only chunk, content chunks, a
// finish chunk, a usage chunk when stream_options.include_usage is set, then "data: [DONE]").
// --listen   address to serve on (default 127.0.0.1:18080; port 0 picks a free one, printed)
// --api-key  requests must carry "Authorization: Bearer KEY", otherwise 401 as from the real
//            service (the key is never printed or recorded)
// --record   file to append every request to, one JSON line {method, path, body}
//
// The answer is "回声：" followed by the last user message, in pieces of three characters.
// Failures are asked for with markers in the last user message:
//   [[fail:STATUS]] [[fail:STATUS:message]]  that status with the provider's error body
//                   (401 bad key, 402 "Insufficient Balance", 403 region, 404 model, 429 rate
//                   limit, 500 server error; a message replaces the usual wording)
//   [[midstream]]   a data: {"error": ...} event after half of the stream (one-shot: 500)
//   [[drop]]        the connection closes after half of the stream
//   [[stall]] [[stall:SECONDS]]  silence after half of the stream (one-shot: before answering)
//   [[unfinished]]  the stream ends cleanly after half, with no finish_reason and no [DONE]
//   [[keepalive:SECONDS]]  only ": keep-alive" comments for that long after half of the stream
//   [[reasoning]]   reasoning_content deltas come before the answer
//   [[think]]       the answer opens with a <think>…</think> block
//   [[empty]]       the answer is blank
#include <cstdio>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include "tools/fakes/FakeServer.h"
#include "tools/fakes/Markers.h"

namespace {

const char* usage = R"(Usage: fake_openai [--listen HOST:PORT] [--api-key KEY] [--record FILE]
Serves POST .../chat/completions (one-shot JSON, or server-sent events with "stream": true).
  --listen   default 127.0.0.1:18080; port 0 picks a free port (printed on standard error)
  --api-key  demand "Authorization: Bearer KEY"; anything else gets 401
  --record   append each request as a JSON line {method, path, body}
The answer is "回声：" + the last user message, in pieces of three characters.
Markers in the last user message:
  [[fail:STATUS]] [[fail:STATUS:message]]  401, 402 Insufficient Balance, 403, 404, 429, 500, ...
  [[midstream]]  error event halfway   [[drop]]  connection closes halfway
  [[stall]] [[stall:SECONDS]]  silence halfway      [[reasoning]]  reasoning deltas first
  [[think]]  answer opens with <think>…</think>     [[empty]]  blank answer
  [[unfinished]]  ends halfway without finish_reason or [DONE]
  [[keepalive:SECONDS]]  only keep-alive comments for that long halfway
)";

QJsonObject errorBody(const QString& message, const QString& type, const QJsonValue& code)
{
    return {{QStringLiteral("error"),
             QJsonObject{{QStringLiteral("message"), message},
                         {QStringLiteral("type"), type},
                         {QStringLiteral("param"), QJsonValue::Null},
                         {QStringLiteral("code"), code}}}};
}

// The body real providers send with each status.
QJsonObject usualError(int status, const QString& model, const QString& message)
{
    auto wording = [&message](const char* usual) { return message.isEmpty() ? QString::fromUtf8(usual) : message; };
    switch (status) {
    case 401:
        return errorBody(wording("Incorrect API key provided. You can find your API key at "
                                 "https://platform.openai.com/account/api-keys."),
                         QStringLiteral("invalid_request_error"), QStringLiteral("invalid_api_key"));
    case 402:
        return errorBody(wording("Insufficient Balance"), QStringLiteral("unknown_error"),
                         QStringLiteral("invalid_request_error"));
    case 403:
        return errorBody(wording("Country, region, or territory not supported"), QStringLiteral("request_forbidden"),
                         QStringLiteral("unsupported_country_region_territory"));
    case 404:
        return errorBody(
            message.isEmpty()
                ? QStringLiteral("The model `%1` does not exist or you do not have access to it.").arg(model)
                : message,
            QStringLiteral("invalid_request_error"), QStringLiteral("model_not_found"));
    case 429:
        return errorBody(wording("Rate limit reached for requests per min (RPM): Limit 3, Used 3, Requested 1. Please "
                                 "try again in 20s."),
                         QStringLiteral("requests"), QStringLiteral("rate_limit_exceeded"));
    default:
        return errorBody(wording("The server had an error processing your request. Sorry about that!"),
                         QStringLiteral("server_error"), QJsonValue::Null);
    }
}

void replyJson(httplib::Response& response, int status, const QJsonObject& body)
{
    response.status = status;
    response.set_content(FakeServer::compact(body).toStdString(), "application/json");
}

QJsonObject chunk(const QString& model, const QJsonObject& delta, const QJsonValue& finishReason)
{
    return {{QStringLiteral("id"), QStringLiteral("chatcmpl-fake")},
            {QStringLiteral("object"), QStringLiteral("chat.completion.chunk")},
            {QStringLiteral("created"), QDateTime::currentSecsSinceEpoch()},
            {QStringLiteral("model"), model},
            {QStringLiteral("choices"),
             QJsonArray{QJsonObject{{QStringLiteral("index"), 0},
                                    {QStringLiteral("delta"), delta},
                                    {QStringLiteral("logprobs"), QJsonValue::Null},
                                    {QStringLiteral("finish_reason"), finishReason}}}}};
}

QJsonObject tokenUsage()
{
    return {{QStringLiteral("prompt_tokens"), 16},
            {QStringLiteral("completion_tokens"), 9},
            {QStringLiteral("total_tokens"), 25}};
}

struct Options {
    QString host = QStringLiteral("127.0.0.1");
    int port = 18080;
    QString apiKey;
    QString recordPath;
};

void complete(const Options& options, const httplib::Request& request, httplib::Response& response)
{
    FakeServer::record(options.recordPath, request);
    if (!options.apiKey.isEmpty()
        && request.get_header_value("Authorization") != "Bearer " + options.apiKey.toStdString())
        return replyJson(response, 401, usualError(401, {}, {}));
    const FakeServer::ParsedBody parsed = FakeServer::parseBody(request.body);
    if (!parsed.error.isEmpty())
        return replyJson(response, 400,
                         errorBody(parsed.error, QStringLiteral("invalid_request_error"), QJsonValue::Null));
    const QJsonObject& body = parsed.object;
    const QString model = body.value(QStringLiteral("model")).toString();
    if (model.isEmpty())
        return replyJson(response, 400,
                         errorBody(QStringLiteral("you must provide a model parameter"),
                                   QStringLiteral("invalid_request_error"), QJsonValue::Null));
    const Markers markers =
        Markers::parse(FakeServer::lastUserMessage(body.value(QStringLiteral("messages")).toArray()));
    if (markers.failStatus)
        return replyJson(response, *markers.failStatus, usualError(*markers.failStatus, model, markers.failMessage));

    const QString answer = FakeServer::answer(markers);
    const QStringList reasoning =
        markers.reasoning ? QStringList{QStringLiteral("嗯，"), QStringLiteral("让我想想。")} : QStringList{};
    const QJsonObject midstreamError =
        errorBody(QStringLiteral("The server had an error while processing your request. Sorry about that!"),
                  QStringLiteral("server_error"), QJsonValue::Null);
    if (!body.value(QStringLiteral("stream")).toBool()) {
        if (markers.stallSeconds)
            FakeServer::stall(std::chrono::seconds(*markers.stallSeconds));
        if (markers.midstream)
            return replyJson(response, 500, midstreamError);
        QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")}, {QStringLiteral("content"), answer}};
        if (markers.reasoning)
            message.insert(QStringLiteral("reasoning_content"), reasoning.join(QString()));
        const QJsonObject completion{
            {QStringLiteral("id"), QStringLiteral("chatcmpl-fake")},
            {QStringLiteral("object"), QStringLiteral("chat.completion")},
            {QStringLiteral("created"), QDateTime::currentSecsSinceEpoch()},
            {QStringLiteral("model"), model},
            {QStringLiteral("choices"),
             QJsonArray{QJsonObject{{QStringLiteral("index"), 0},
                                    {QStringLiteral("message"), message},
                                    {QStringLiteral("finish_reason"), QStringLiteral("stop")}}}},
            {QStringLiteral("usage"), tokenUsage()}};
        return FakeServer::replyWhole(response, FakeServer::compact(completion).toStdString(), "application/json",
                                      markers.drop);
    }

    const QStringList pieces = FakeServer::fragments(answer, 3);
    const bool includeUsage =
        body.value(QStringLiteral("stream_options")).toObject().value(QStringLiteral("include_usage")).toBool();
    response.set_chunked_content_provider("text/event-stream; charset=utf-8", [=](size_t, httplib::DataSink& sink) {
        auto send = [&sink](const QByteArray& event) { return sink.write(event.constData(), size_t(event.size())); };
        auto data = [&send](const QJsonObject& payload) {
            return send("data: " + FakeServer::compact(payload) + "\n\n");
        };
        send(": keep-alive\n\n");
        data(chunk(model,
                   {{QStringLiteral("role"), QStringLiteral("assistant")}, {QStringLiteral("content"), QString()}},
                   QJsonValue::Null));
        for (const QString& thought : reasoning)
            data(chunk(model,
                       {{QStringLiteral("content"), QJsonValue::Null}, {QStringLiteral("reasoning_content"), thought}},
                       QJsonValue::Null));
        const qsizetype half = pieces.size() / 2;
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            if (i == half) {
                if (markers.midstream) {
                    data(midstreamError);
                    sink.done();
                    return true;
                }
                if (markers.drop)
                    return false;
                if (markers.unfinished) {
                    sink.done();
                    return true;
                }
                if (markers.stallSeconds)
                    FakeServer::stall(std::chrono::seconds(*markers.stallSeconds));
                if (markers.keepAliveSeconds
                    && !FakeServer::keepAlive(std::chrono::seconds(*markers.keepAliveSeconds),
                                              [&send] { return send(": keep-alive\n\n"); }))
                    return false;
            }
            if (!data(chunk(model, {{QStringLiteral("content"), pieces[i]}}, QJsonValue::Null)))
                return false;
        }
        data(chunk(model, {}, QStringLiteral("stop")));
        if (includeUsage) {
            QJsonObject last = chunk(model, {}, QJsonValue::Null);
            last.insert(QStringLiteral("choices"), QJsonArray());
            last.insert(QStringLiteral("usage"), tokenUsage());
            data(last);
        }
        send("data: [DONE]\n\n");
        sink.done();
        return true;
    });
}

}

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const QString value = i + 1 < argc ? QString::fromLocal8Bit(argv[i + 1]) : QString();
        if (arg == QLatin1String("--listen") && value.contains(QLatin1Char(':'))) {
            options.host = value.section(QLatin1Char(':'), 0, -2);
            options.port = value.section(QLatin1Char(':'), -1).toInt();
            ++i;
        } else if (arg == QLatin1String("--api-key") && !value.isEmpty()) {
            options.apiKey = value;
            ++i;
        } else if (arg == QLatin1String("--record") && !value.isEmpty()) {
            options.recordPath = value;
            ++i;
        } else {
            const bool help = arg == QLatin1String("--help") || arg == QLatin1String("-h");
            std::fputs(usage, help ? stdout : stderr);
            return help ? 0 : 1;
        }
    }
    httplib::Server server;
    server.Post(R"(.*/chat/completions)", [&options](const httplib::Request& request, httplib::Response& response) {
        complete(options, request, response);
    });
    return FakeServer::serve(server, options.host, options.port,
                             QStringLiteral("Listening on %1:%2").arg(options.host, QStringLiteral("%1")));
}
