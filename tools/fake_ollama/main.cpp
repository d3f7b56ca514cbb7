// fake_ollama: a stand-in for the Ollama server and its command-line tool, for tests and demos.
//
//   fake_ollama serve        serves the HTTP API on OLLAMA_HOST (default 127.0.0.1:11434)
//   fake_ollama list [P]     lists the models of the server on OLLAMA_HOST, like `ollama list`
//   fake_ollama --version
//
// Environment (read like the real server reads it, so the fake can be installed in its place):
//   OLLAMA_HOST               address to listen on / to ask
//   OLLAMA_MODELS             model directory (default ~/.ollama/models); a pulled model becomes a
//                             manifest file there, so listing and deleting are real
//   OLLAMA_KEEP_ALIVE         how long a used model stays listed by /api/ps (default 5m)
//   FAKE_OLLAMA_RECORD        file to append every request to, one JSON line {method, path, body}
//   FAKE_OLLAMA_PULL_STEP_MS  pause before each pull progress line (default 20)
//
// Routes: GET /, /api/version, /api/tags, /api/ps; POST /api/chat (streamed unless "stream":
// false), /api/pull, /api/embed; DELETE /api/delete. A chat with a model that is not installed
// gets 404 "model '<name>' not found", as from the real server.
//
// Answers are predictable: a chat answers "回声：" followed by its last user message, streamed in
// pieces of three characters; an embedding is computed from the text (see FakeEmbedding.h).
//
// Failures are asked for per request with markers in the request's own text (the last user
// message of a chat, the input of an embedding, the model name of a pull or delete):
//   [[fail:STATUS]] [[fail:STATUS:message]]  refuse with that status and {"error": message}
//   [[midstream]]   an {"error": ...} line after half of the stream (one-shot chat: 500)
//   [[drop]]        the connection closes after half of the stream
//   [[stall]] [[stall:SECONDS]]  silence after half of the stream (one-shot: before answering)
//   [[unfinished]]  the stream ends cleanly after half, with no "done": true line
//   [[keepalive:SECONDS]]  only blank lines for that long after half of the stream
//   [[think]]       the answer opens with a <think>…</think> block
//   [[empty]]       the answer is blank
//   [[unknown]] [[newer]]  pull: no such model / the model needs a newer server
// For example, with the model pulled first:
//   curl -d '{"model":"qwen2.5:7b","messages":[{"role":"user","content":"hi [[drop]]"}]}'
//   http://127.0.0.1:11434/api/chat
#include <cstdio>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "tools/fake_ollama/FakeOllama.h"
#include "tools/fake_ollama/ListTable.h"
#include "tools/fakes/FakeServer.h"

namespace {

const char* usage = R"(Usage:
  fake_ollama serve        serve the Ollama HTTP API on OLLAMA_HOST (default 127.0.0.1:11434)
  fake_ollama list [NAME]  list the models of the server on OLLAMA_HOST
  fake_ollama --version

Environment: OLLAMA_HOST, OLLAMA_MODELS, OLLAMA_KEEP_ALIVE, FAKE_OLLAMA_RECORD (append each
request as a JSON line), FAKE_OLLAMA_PULL_STEP_MS (pause before each pull progress line).

A chat answers "回声：" + its last user message, in pieces of three characters.
Markers in the last user message (chat), the input (embed) or the model name (pull, delete):
  [[fail:STATUS]] [[fail:STATUS:message]]  answer that status with {"error": message}
  [[midstream]]  error line after half of the stream     [[drop]]   connection closes halfway
  [[stall]] [[stall:SECONDS]]  silence halfway          [[think]]  answer opens with <think>…</think>
  [[empty]]      blank answer                            [[unknown]] [[newer]]  pull failures
  [[unfinished]] ends halfway without "done": true       [[keepalive:SECONDS]]  blank lines halfway
)";

struct Address {
    QString host;
    int port = 11434;
};

// OLLAMA_HOST as the real server reads it: optional quotes and scheme, default port 11434
// (80 or 443 when a scheme is written), an empty host meaning every interface.
Address ollamaHost()
{
    QString value = qEnvironmentVariable("OLLAMA_HOST").trimmed();
    for (const QChar quote : {QLatin1Char('"'), QLatin1Char('\'')}) {
        if (value.size() >= 2 && value.startsWith(quote) && value.endsWith(quote))
            value = value.mid(1, value.size() - 2).trimmed();
    }
    if (value.isEmpty())
        return {QStringLiteral("127.0.0.1"), 11434};
    Address address;
    if (const qsizetype scheme = value.indexOf(QLatin1String("://")); scheme >= 0) {
        address.port = value.left(scheme) == QLatin1String("https") ? 443 : 80;
        value = value.mid(scheme + 3);
    }
    value = value.section(QLatin1Char('/'), 0, 0);
    const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
    const bool bracketed = value.startsWith(QLatin1Char('['));
    if (colon >= 0 && (!bracketed || colon > value.indexOf(QLatin1Char(']')))) {
        bool valid = false;
        const int port = value.mid(colon + 1).toInt(&valid);
        if (valid && port > 0 && port < 65536)
            address.port = port;
        value = value.left(colon);
    }
    if (bracketed)
        value = value.mid(1, value.size() - 2);
    address.host = value.isEmpty() ? QStringLiteral("0.0.0.0") : value;
    return address;
}

int serve()
{
    FakeOllama::Config config;
    config.modelsDir = qEnvironmentVariable("OLLAMA_MODELS", QDir::homePath() + QStringLiteral("/.ollama/models"));
    config.recordPath = qEnvironmentVariable("FAKE_OLLAMA_RECORD");
    bool valid = false;
    const int stepMs = qEnvironmentVariableIntValue("FAKE_OLLAMA_PULL_STEP_MS", &valid);
    if (valid && stepMs >= 0)
        config.pullStepMs = stepMs;
    config.keepAlive = qEnvironmentVariable("OLLAMA_KEEP_ALIVE");
    QDir().mkpath(config.modelsDir);

    httplib::Server server;
    FakeOllama ollama(config);
    ollama.addRoutes(server);
    const Address address = ollamaHost();
    return FakeServer::serve(
        server, address.host, address.port,
        QStringLiteral("Listening on %1:%3 (version %2)").arg(address.host, QString::fromLatin1(FakeOllama::version)));
}

int list(const QString& prefix)
{
    Address address = ollamaHost();
    if (address.host == QLatin1String("0.0.0.0"))
        address.host = QStringLiteral("127.0.0.1");
    httplib::Client client(address.host.toStdString(), address.port);
    const httplib::Result result = client.Get("/api/tags");
    if (!result || result->status != 200) {
        std::fprintf(stderr, "Error: could not connect to ollama app, is it running?\n");
        return 1;
    }
    const QJsonArray models = QJsonDocument::fromJson(QByteArray::fromStdString(result->body))
                                  .object()
                                  .value(QStringLiteral("models"))
                                  .toArray();
    std::fputs(listTable(models, prefix).toUtf8().constData(), stdout);
    return 0;
}

}

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const QString command = args.value(0);
    if (command == QLatin1String("serve"))
        return serve();
    if (command == QLatin1String("list") || command == QLatin1String("ls"))
        return list(args.value(1));
    if (command == QLatin1String("--version") || command == QLatin1String("-v")) {
        std::printf("ollama version is %s\n", FakeOllama::version);
        return 0;
    }
    std::fputs(usage,
               command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")
                   ? stdout
                   : stderr);
    return command.startsWith(QLatin1String("-h")) || command == QLatin1String("--help")
            || command == QLatin1String("help")
        ? 0
        : 1;
}
