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

// fake_ollama serve on OLLAMA_HOST `host`, with a fresh model directory and a request record.
class FakeOllamaServer {
public:
    explicit FakeOllamaServer(const QString& host = QStringLiteral("127.0.0.1:11434"),
                              const QProcessEnvironment& extraEnv = {});

    bool isAnswering() const { return m_process->isAnswering(); }
    QString baseUrl() const { return QStringLiteral("http://") + m_host; }
    QString modelsDir() const { return m_dir.filePath(QStringLiteral("models")); }
    // Pulls the model through the API; true when the server reports success.
    bool pull(const QString& model) const;
    // Every request received so far: {method, path, body}.
    QList<QJsonObject> recorded() const;
    // The bodies of the requests to `path` received so far.
    QList<QJsonObject> bodies(const QString& path = QStringLiteral("/api/chat")) const;

private:
    QTemporaryDir m_dir;
    QString m_host;
    std::unique_ptr<FakeProcess> m_process;
};

// fake_openai on 127.0.0.1:`port`, demanding `apiKey` as bearer when not empty.
class FakeOpenAIServer {
public:
    explicit FakeOpenAIServer(int port = 18080, const QString& apiKey = {});

    bool isAnswering() const { return m_process->isAnswering(); }
    QString endpoint() const { return QStringLiteral("http://127.0.0.1:%1/v1/chat/completions").arg(m_port); }
    QList<QJsonObject> recorded() const;
    // The bodies of the chat requests received so far.
    QList<QJsonObject> bodies() const;

private:
    QTemporaryDir m_dir;
    int m_port;
    std::unique_ptr<FakeProcess> m_process;
};

// Points the settings at a custom cloud provider with this endpoint, key and model.
void useCustomCloud(const QString& endpoint, const QString& apiKey,
                    const QString& model = QStringLiteral("fake-model"));

// The "messages" of a chat request's body.
ChatMessages messagesOf(const QJsonObject& body);

// The fake servers of this build.
QString fakeOllamaBinary();
QString fakeOpenAIBinary();
