#include "tools/fake_ollama/FakeOllama.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include "tools/fake_ollama/FakeEmbedding.h"
#include "tools/fakes/FakeServer.h"
#include "tools/fakes/Markers.h"

namespace {

using FakeServer::compact;

void replyJson(httplib::Response& response, int status, const QJsonObject& body)
{
    response.status = status;
    response.set_content(compact(body).toStdString(), "application/json; charset=utf-8");
}

void replyError(httplib::Response& response, int status, const QString& message)
{
    replyJson(response, status, {{QStringLiteral("error"), message}});
}

// The wording the server uses for a refusal with this status, when a marker names none.
QString usualError(int status, const QString& model)
{
    switch (status) {
    case 400: return QStringLiteral("invalid model name");
    case 404: return QStringLiteral("model '%1' not found").arg(model);
    case 499: return QStringLiteral("request canceled");
    case 503: return QStringLiteral("server busy, please try again.  maximum pending requests exceeded");
    default: return QStringLiteral("llama runner process has terminated: exit status 2");
    }
}

// The refusal a [[fail:STATUS]] or [[fail:STATUS:message]] marker asks for.
void replyFailure(httplib::Response& response, const Markers& markers, const QString& model)
{
    const int status = *markers.failStatus;
    replyError(response, status, markers.failMessage.isEmpty() ? usualError(status, model) : markers.failMessage);
}

// A Go duration ("30m", "1h30m", "-1s") or a number of seconds; none when the server would refuse it.
std::optional<double> keepAliveSeconds(const QJsonValue& value)
{
    if (value.isDouble())
        return value.toDouble();
    static const QRegularExpression duration(QStringLiteral(R"(^([-+]?)((?:\d+(?:\.\d*)?(?:ns|us|µs|ms|s|m|h))+|0)$)"));
    static const QRegularExpression part(QStringLiteral(R"((\d+(?:\.\d*)?)(ns|us|µs|ms|s|m|h))"));
    const QRegularExpressionMatch match = duration.match(value.toString());
    if (!match.hasMatch())
        return std::nullopt;
    double seconds = 0;
    for (const QRegularExpressionMatch& piece : part.globalMatch(match.captured(2))) {
        const QString unit = piece.captured(2);
        const double scale = unit == QLatin1String("h") ? 3600
            : unit == QLatin1String("m")                ? 60
            : unit == QLatin1String("s")                ? 1
            : unit == QLatin1String("ms")               ? 1e-3
            : unit == QLatin1String("ns")               ? 1e-9
                                                        : 1e-6;
        seconds += piece.captured(1).toDouble() * scale;
    }
    return match.captured(1) == QLatin1String("-") ? -seconds : seconds;
}

QString timestamp()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QJsonObject details()
{
    return {{QStringLiteral("parent_model"), QString()},
            {QStringLiteral("format"), QStringLiteral("gguf")},
            {QStringLiteral("family"), QStringLiteral("qwen2")},
            {QStringLiteral("families"), QJsonArray{QStringLiteral("qwen2")}},
            {QStringLiteral("parameter_size"), QStringLiteral("7.6B")},
            {QStringLiteral("quantization_level"), QStringLiteral("Q4_K_M")}};
}

QJsonObject chatLine(const QString& model, const QString& content, bool done)
{
    QJsonObject line{
        {QStringLiteral("model"), model},
        {QStringLiteral("created_at"), timestamp()},
        {QStringLiteral("message"),
         QJsonObject{{QStringLiteral("role"), QStringLiteral("assistant")}, {QStringLiteral("content"), content}}},
        {QStringLiteral("done"), done}};
    if (done) {
        line.insert(QStringLiteral("done_reason"), QStringLiteral("stop"));
        line.insert(QStringLiteral("total_duration"), 4883583458.0);
        line.insert(QStringLiteral("load_duration"), 1334875);
        line.insert(QStringLiteral("prompt_eval_count"), 26);
        line.insert(QStringLiteral("eval_count"), 282);
    }
    return line;
}

// One line of a pull stream, and what happens after it is written.
struct PullStep {
    QJsonObject line;
    bool install = false;
    bool drop = false;
    std::optional<int> stallSeconds;
};

QJsonObject progress(const QString& digest, qint64 total, std::optional<qint64> completed)
{
    QJsonObject line{{QStringLiteral("status"), QStringLiteral("pulling ") + digest.left(12)},
                     {QStringLiteral("digest"), QStringLiteral("sha256:") + digest},
                     {QStringLiteral("total"), double(total)}};
    if (completed)
        line.insert(QStringLiteral("completed"), double(*completed));
    return line;
}

// The lines in the order the real server sends them: manifest, each layer's progress, digest
// check, manifest write, clean-up after a re-pull, success.
QList<PullStep> pullSteps(const QString& model, const Markers& markers, bool present)
{
    QList<PullStep> steps;
    auto add = [&steps](const QJsonObject& line) -> PullStep& {
        steps.append(PullStep{line, false, false, std::nullopt});
        return steps.last();
    };
    auto status = [](const char* text) { return QJsonObject{{QStringLiteral("status"), QString::fromLatin1(text)}}; };
    auto error = [](const QString& text) { return QJsonObject{{QStringLiteral("error"), text}}; };
    add(status("pulling manifest"));
    if (markers.unknown || markers.newer) {
        add(error(
            markers.unknown
                ? QStringLiteral("pull model manifest: file does not exist")
                : QStringLiteral("pull model manifest: 412: \nThe model you are attempting to pull requires a newer "
                                 "version of Ollama.\n\nPlease download the latest version "
                                 "at:\n\n\thttps://ollama.com/download\n\n")));
        return steps;
    }
    const QString digest = ModelStore::digestOf(model);
    const qint64 total = ModelStore::sizeOf(model);
    if (present) {
        add(progress(digest, total, total));
    } else {
        add(progress(digest, total, std::nullopt));
        add(progress(digest, total, std::nullopt));
        for (int eighth = 1; eighth <= 8; ++eighth) {
            PullStep& step = add(progress(digest, total, total * eighth / 8));
            if (eighth != 4)
                continue;
            step.drop = markers.drop;
            step.stallSeconds = markers.stallSeconds;
            if (markers.midstream) {
                add(error(QStringLiteral("max retries exceeded: read tcp: connection reset by peer")));
                return steps;
            }
        }
    }
    const QString params = ModelStore::digestOf(model + QStringLiteral("/params"));
    add(progress(params, 11357, std::nullopt));
    add(progress(params, 11357, 11357));
    add(status("verifying sha256 digest"));
    add(status("writing manifest")).install = true;
    if (present)
        add(status("removing unused layers"));
    add(status("success"));
    return steps;
}

}

FakeOllama::FakeOllama(Config config)
    : m_config(std::move(config))
    , m_store(m_config.modelsDir)
{
    bool isNumber = false;
    const double seconds = m_config.keepAlive.toDouble(&isNumber);
    m_keepAliveSeconds = isNumber ? seconds : keepAliveSeconds(m_config.keepAlive).value_or(300);
}

void FakeOllama::addRoutes(httplib::Server& server)
{
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& response) {
            if (!response.body.empty() || response.status != 404)
                return httplib::Server::HandlerResponse::Unhandled;
            response.set_content("404 page not found", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }));
    // Every request is recorded before it is answered (the body is only known inside a route).
    auto recorded = [this](void (FakeOllama::*handler)(const httplib::Request&, httplib::Response&)) {
        return [this, handler](const httplib::Request& request, httplib::Response& response) {
            FakeServer::record(m_config.recordPath, request);
            (this->*handler)(request, response);
        };
    };
    server.Get("/", recorded(&FakeOllama::root));
    server.Get("/api/version", recorded(&FakeOllama::showVersion));
    server.Get("/api/tags", recorded(&FakeOllama::tags));
    server.Get("/api/ps", recorded(&FakeOllama::running));
    server.Post("/api/chat", recorded(&FakeOllama::chat));
    server.Post("/api/pull", recorded(&FakeOllama::pull));
    server.Delete("/api/delete", recorded(&FakeOllama::remove));
    server.Post("/api/embed", recorded(&FakeOllama::embed));
}

void FakeOllama::chat(const httplib::Request& request, httplib::Response& response)
{
    const FakeServer::ParsedBody parsed = FakeServer::parseBody(request.body);
    if (!parsed.error.isEmpty())
        return replyError(response, 400, parsed.error);
    const QJsonObject& body = parsed.object;
    const QString model = body.value(QStringLiteral("model")).toString();
    if (model.isEmpty())
        return replyError(response, 400, QStringLiteral("model is required"));
    if (!ModelStore::canonical(model))
        return replyError(response, 400, QStringLiteral("invalid model name"));
    std::optional<double> keepAlive = m_keepAliveSeconds;
    if (body.contains(QStringLiteral("keep_alive"))) {
        keepAlive = keepAliveSeconds(body.value(QStringLiteral("keep_alive")));
        if (!keepAlive)
            return replyError(response, 400,
                              QStringLiteral("time: invalid duration \"%1\"")
                                  .arg(body.value(QStringLiteral("keep_alive")).toString()));
    }
    const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
    const Markers markers = Markers::parse(FakeServer::lastUserMessage(messages));
    if (markers.failStatus)
        return replyFailure(response, markers, model);
    if (!m_store.find(model))
        return replyError(response, 404, usualError(404, model));
    markLoaded(*ModelStore::canonical(model), *keepAlive);
    if (messages.isEmpty()) {
        QJsonObject loaded = chatLine(model, {}, true);
        loaded.insert(QStringLiteral("done_reason"), QStringLiteral("load"));
        return replyJson(response, 200, loaded);
    }

    const QString answer = FakeServer::answer(markers);
    const QStringList pieces = FakeServer::fragments(answer, 3);
    const qsizetype half = pieces.size() / 2;
    const QString midstreamError = QStringLiteral("an error was encountered while running the model");
    if (!body.value(QStringLiteral("stream")).toBool(true)) {
        if (markers.stallSeconds)
            FakeServer::stall(std::chrono::seconds(*markers.stallSeconds));
        if (markers.midstream)
            return replyError(response, 500, midstreamError);
        return FakeServer::replyWhole(response, compact(chatLine(model, answer, true)).toStdString(),
                                      "application/json; charset=utf-8", markers.drop);
    }
    response.set_chunked_content_provider("application/x-ndjson", [=](size_t, httplib::DataSink& sink) {
        auto write = [&sink](const QJsonObject& line) {
            const QByteArray bytes = compact(line) + '\n';
            return sink.write(bytes.constData(), size_t(bytes.size()));
        };
        for (qsizetype i = 0; i <= pieces.size(); ++i) {
            if (i == half) {
                if (markers.midstream) {
                    write({{QStringLiteral("error"), midstreamError}});
                    break;
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
                                              [&sink] { return sink.write("\n", 1); }))
                    return false;
            }
            if (i < pieces.size() && !write(chatLine(model, pieces[i], false)))
                return false;
        }
        if (!markers.midstream)
            write(chatLine(model, {}, true));
        sink.done();
        return true;
    });
}

void FakeOllama::pull(const httplib::Request& request, httplib::Response& response)
{
    const FakeServer::ParsedBody parsed = FakeServer::parseBody(request.body);
    if (!parsed.error.isEmpty())
        return replyError(response, 400, parsed.error);
    const QString requested =
        parsed.object.value(QStringLiteral("model")).toString(parsed.object.value(QStringLiteral("name")).toString());
    const Markers markers = Markers::parse(requested);
    const std::optional<QString> model = ModelStore::canonical(markers.text);
    if (!model)
        return replyError(response, 400, QStringLiteral("invalid model name"));
    if (markers.failStatus)
        return replyFailure(response, markers, markers.text);
    const QList<PullStep> steps = pullSteps(*model, markers, m_store.find(*model).has_value());

    if (!parsed.object.value(QStringLiteral("stream")).toBool(true)) {
        for (const PullStep& step : steps) {
            if (step.line.contains(QStringLiteral("error")))
                return replyJson(response, 500, step.line);
            if (step.install)
                m_store.install(*model);
        }
        return replyJson(response, 200, steps.last().line);
    }
    response.set_chunked_content_provider(
        "application/x-ndjson", [this, steps, model](size_t, httplib::DataSink& sink) {
            for (const PullStep& step : steps) {
                std::this_thread::sleep_for(std::chrono::milliseconds(m_config.pullStepMs));
                if (step.install)
                    m_store.install(*model);
                const QByteArray bytes = compact(step.line) + '\n';
                if (!sink.write(bytes.constData(), size_t(bytes.size())) || step.drop)
                    return false;
                if (step.stallSeconds)
                    FakeServer::stall(std::chrono::seconds(*step.stallSeconds));
            }
            sink.done();
            return true;
        });
}

void FakeOllama::remove(const httplib::Request& request, httplib::Response& response)
{
    const FakeServer::ParsedBody parsed = FakeServer::parseBody(request.body);
    if (!parsed.error.isEmpty())
        return replyError(response, 400, parsed.error);
    const Markers markers = Markers::parse(
        parsed.object.value(QStringLiteral("model")).toString(parsed.object.value(QStringLiteral("name")).toString()));
    if (markers.failStatus)
        return replyFailure(response, markers, markers.text);
    if (!ModelStore::canonical(markers.text))
        return replyError(response, 400, QStringLiteral("name \"%1\" is invalid").arg(markers.text));
    if (!m_store.remove(markers.text))
        return replyError(response, 404, usualError(404, markers.text));
    std::lock_guard lock(m_loadedMutex);
    m_loaded.erase(*ModelStore::canonical(markers.text));
}

void FakeOllama::embed(const httplib::Request& request, httplib::Response& response)
{
    const FakeServer::ParsedBody parsed = FakeServer::parseBody(request.body);
    if (!parsed.error.isEmpty())
        return replyError(response, 400, parsed.error);
    const QString model = parsed.object.value(QStringLiteral("model")).toString();
    if (model.isEmpty())
        return replyError(response, 400, QStringLiteral("model is required"));
    const QJsonValue input = parsed.object.value(QStringLiteral("input"));
    QStringList texts;
    if (input.isString() && !input.toString().isEmpty())
        texts = {input.toString()};
    for (const QJsonValue& item : input.toArray()) {
        if (!item.isString())
            return replyError(response, 400, QStringLiteral("invalid input type"));
        texts.append(item.toString());
    }
    if (!input.isString() && !input.isArray() && !input.isUndefined())
        return replyError(response, 400, QStringLiteral("invalid input type"));
    QJsonArray embeddings;
    for (const QString& text : texts) {
        const Markers markers = Markers::parse(text);
        if (markers.failStatus)
            return replyFailure(response, markers, model);
        if (markers.stallSeconds)
            FakeServer::stall(std::chrono::seconds(*markers.stallSeconds));
        embeddings.append(fakeEmbedding(markers.text));
    }
    if (!m_store.find(model))
        return replyError(response, 404, QStringLiteral("model \"%1\" not found, try pulling it first").arg(model));
    markLoaded(*ModelStore::canonical(model), m_keepAliveSeconds);
    replyJson(response, 200,
              {{QStringLiteral("model"), model},
               {QStringLiteral("embeddings"), embeddings},
               {QStringLiteral("total_duration"), 14143917},
               {QStringLiteral("load_duration"), 1019500},
               {QStringLiteral("prompt_eval_count"), int(texts.size()) * 8}});
}

void FakeOllama::root(const httplib::Request&, httplib::Response& response)
{
    response.set_content("Ollama is running", "text/plain; charset=utf-8");
}

void FakeOllama::showVersion(const httplib::Request&, httplib::Response& response)
{
    replyJson(response, 200, {{QStringLiteral("version"), QString::fromLatin1(version)}});
}

void FakeOllama::tags(const httplib::Request&, httplib::Response& response)
{
    QJsonArray models;
    for (const ModelStore::Model& model : m_store.list()) {
        models.append(
            QJsonObject{{QStringLiteral("name"), model.name},
                        {QStringLiteral("model"), model.name},
                        {QStringLiteral("modified_at"),
                         model.modified.toOffsetFromUtc(model.modified.offsetFromUtc()).toString(Qt::ISODateWithMs)},
                        {QStringLiteral("size"), double(model.size)},
                        {QStringLiteral("digest"), model.digest},
                        {QStringLiteral("details"), details()}});
    }
    replyJson(response, 200, {{QStringLiteral("models"), models}});
}

void FakeOllama::running(const httplib::Request&, httplib::Response& response)
{
    QJsonArray models;
    std::lock_guard lock(m_loadedMutex);
    const QDateTime now = QDateTime::currentDateTime();
    std::erase_if(m_loaded, [&](const auto& entry) { return entry.second <= now || !m_store.find(entry.first); });
    for (const auto& [name, expiry] : m_loaded) {
        const qint64 size = ModelStore::sizeOf(name);
        models.append(QJsonObject{
            {QStringLiteral("name"), name},
            {QStringLiteral("model"), name},
            {QStringLiteral("size"), double(size)},
            {QStringLiteral("digest"), ModelStore::digestOf(name)},
            {QStringLiteral("details"), details()},
            {QStringLiteral("expires_at"), expiry.toOffsetFromUtc(expiry.offsetFromUtc()).toString(Qt::ISODateWithMs)},
            {QStringLiteral("size_vram"), double(size)}});
    }
    replyJson(response, 200, {{QStringLiteral("models"), models}});
}

void FakeOllama::markLoaded(const QString& model, double seconds)
{
    std::lock_guard lock(m_loadedMutex);
    if (seconds == 0)
        m_loaded.erase(model);
    else
        m_loaded[model] = seconds < 0 ? QDateTime(QDate(2318, 1, 1), QTime(0, 0))
                                      : QDateTime::currentDateTime().addMSecs(qint64(seconds * 1000));
}
