#include "tests/support/FakeServers.h"

#include <csignal>
#include <thread>

#include <sys/prctl.h>

#include <QJsonArray>
#include <QJsonDocument>

#include "engines/http/Http.h"
#include "tests/support/Files.h"
#include "tests/support/ScratchHome.h"

using namespace std::chrono_literals;

FakeProcess::FakeProcess(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                         const QString& probeUrl)
{
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(program, args);
    if (!m_process.waitForStarted())
        return;
    Http::Request probe;
    probe.url = probeUrl;
    if (probeUrl.contains(QLatin1String("%1"))) {
        // Its standard error, not forwarded, says "Listening on HOST:PORT".
        m_process.setReadChannel(QProcess::StandardError);
        while (m_port == 0 && (m_process.canReadLine() || m_process.waitForReadyRead(5000))) {
            const QByteArray line = m_process.canReadLine() ? m_process.readLine() : QByteArray();
            if (line.startsWith("Listening on "))
                m_port = line.trimmed().split(':').last().toInt();
        }
        if (m_port == 0)
            return;
        probe.url = probeUrl.arg(m_port);
    }
    probe.connectTimeout = 200ms;
    probe.idleTimeout = 1s;
    for (int attempt = 0; attempt < 100 && !m_answering; ++attempt) {
        m_answering = Http::fetch(probe).status != 0;
        if (!m_answering)
            std::this_thread::sleep_for(50ms);
    }
}

FakeProcess::~FakeProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QList<QJsonObject> FakeServer::recorded() const
{
    QList<QJsonObject> requests;
    for (const QByteArray& line : readFile(recordPath()).split('\n')) {
        if (!line.isEmpty())
            requests.append(QJsonDocument::fromJson(line).object());
    }
    return requests;
}

QList<QJsonObject> FakeServer::bodies() const
{
    QList<QJsonObject> bodies;
    for (const QJsonObject& request : recorded()) {
        if (request.value(QStringLiteral("path")).toString() == m_chatPath)
            bodies.append(request.value(QStringLiteral("body")).toObject());
    }
    return bodies;
}

FakeOllamaServer::FakeOllamaServer(const QString& host, const QProcessEnvironment& extraEnv)
    : FakeServer("/api/chat")
    , m_host(host)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OLLAMA_HOST"), host);
    env.insert(QStringLiteral("OLLAMA_MODELS"), m_dir.filePath(QStringLiteral("models")));
    env.insert(QStringLiteral("FAKE_OLLAMA_RECORD"), recordPath());
    env.insert(QStringLiteral("FAKE_OLLAMA_PULL_STEP_MS"), QStringLiteral("1"));
    env.insert(extraEnv);
    m_process = std::make_unique<FakeProcess>(fakeOllamaBinary(), QStringList{QStringLiteral("serve")}, env,
                                              QStringLiteral("http://%1/api/version").arg(host));
}

bool FakeOllamaServer::pull(const QString& model) const
{
    const Http::Response response =
        Http::fetch(Http::Request::json("POST", QStringLiteral("http://%1/api/pull").arg(m_host),
                                        {{QStringLiteral("model"), model}, {QStringLiteral("stream"), false}}));
    return response.status == 200;
}

FakeOpenAIServer::FakeOpenAIServer(int port, const QString& apiKey)
    : FakeServer("/v1/chat/completions")
    , m_port(port)
{
    QStringList args = {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port),
                        QStringLiteral("--record"), recordPath()};
    if (!apiKey.isEmpty())
        args << QStringLiteral("--api-key") << apiKey;
    m_process = std::make_unique<FakeProcess>(QStringLiteral(QUILLO_BIN_DIR "/fake_openai"), args,
                                              QProcessEnvironment::systemEnvironment(),
                                              endpointAt(port ? QString::number(port) : QStringLiteral("%1")));
    if (port == 0)
        m_port = m_process->port();
}

void useCustomCloud(const QString& endpoint, const QString& apiKey, const QString& model)
{
    changeSettings([&](AppSettings& settings) {
        settings.activeProvider = QStringLiteral("custom");
        settings.customBaseURL = endpoint;
        settings.cloudKeys = {{QStringLiteral("custom"), apiKey}};
        settings.cloudModels = {{QStringLiteral("custom"), model}};
    });
}

ChatMessages messagesOf(const QJsonObject& body)
{
    ChatMessages messages;
    for (const QJsonValue& value : body.value(QStringLiteral("messages")).toArray()) {
        const QJsonObject message = value.toObject();
        messages.append(
            {message.value(QStringLiteral("role")).toString(), message.value(QStringLiteral("content")).toString()});
    }
    return messages;
}

QString fakeOllamaBinary()
{
    return QStringLiteral(QUILLO_BIN_DIR "/fake_ollama");
}
