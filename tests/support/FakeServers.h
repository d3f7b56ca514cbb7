#pragma once

#include <memory>

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "core/ChatMessage.h"

// The fake servers of tools/ run as child processes for the length of a test. A child gets
// SIGTERM if the thread that started it ends, so none outlives a crashed test; the destructor
// stops it and waits. Use them inside a private network namespace (NETNS tests): the fixed
// ports are then ours.
class FakeProcess {
public:
    FakeProcess(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                const QString& probeUrl);
    ~FakeProcess();
    FakeProcess(const FakeProcess&) = delete;
    FakeProcess& operator=(const FakeProcess&) = delete;

    bool isAnswering() const { return m_answering; }

private:
    QProcess m_process;
    bool m_answering = false;
};

// A fake server running for the length of a test, and the record of the requests it received.
class FakeServer {
public:
    bool isAnswering() const { return m_process->isAnswering(); }
    // Every request received so far: {method, path, body}.
    QList<QJsonObject> recorded() const;
    // The bodies of the chat requests received so far.
    QList<QJsonObject> bodies() const;

protected:
    explicit FakeServer(const char* chatPath)
        : m_chatPath(QLatin1String(chatPath))
    {
    }
    QString recordPath() const { return m_dir.filePath(QStringLiteral("requests.jsonl")); }

    QTemporaryDir m_dir;
    std::unique_ptr<FakeProcess> m_process;

private:
    QString m_chatPath;
};

// fake_ollama serve on OLLAMA_HOST `host`, with a fresh model directory.
class FakeOllamaServer : public FakeServer {
public:
    explicit FakeOllamaServer(const QString& host = QStringLiteral("127.0.0.1:11434"),
                              const QProcessEnvironment& extraEnv = {});

    // Pulls the model through the API; true when the server reports success.
    bool pull(const QString& model) const;

private:
    QString m_host;
};

// fake_openai on 127.0.0.1:`port`, demanding `apiKey` as bearer when not empty.
class FakeOpenAIServer : public FakeServer {
public:
    explicit FakeOpenAIServer(int port = 18080, const QString& apiKey = {});

    QString endpoint() const { return QStringLiteral("http://127.0.0.1:%1/v1/chat/completions").arg(m_port); }

private:
    int m_port;
};

// Points the settings at a custom cloud provider with this endpoint, key and model.
void useCustomCloud(const QString& endpoint, const QString& apiKey,
                    const QString& model = QStringLiteral("fake-model"));

// The "messages" of a chat request's body.
ChatMessages messagesOf(const QJsonObject& body);

// The fake Ollama of this build.
QString fakeOllamaBinary();
