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
// ports are then ours. A probe URL with %1 for its port waits for the port the server reports.
class FakeProcess {
public:
    FakeProcess(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                const QString& probeUrl);
    ~FakeProcess();

    bool isAnswering() const { return m_answering; }
    // The port a server told to take a free one reported taking.
    int port() const { return m_port; }

private:
    QProcess m_process;
    bool m_answering = false;
    int m_port = 0;
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

// fake_openai on 127.0.0.1:`port` (0: a free one, for tests outside a private network), demanding
// `apiKey` as bearer when not empty.
class FakeOpenAIServer : public FakeServer {
public:
    explicit FakeOpenAIServer(int port = 18080, const QString& apiKey = {});

    QString endpoint() const { return endpointAt(QString::number(m_port)); }

private:
    static QString endpointAt(const QString& port)
    {
        return QStringLiteral("http://127.0.0.1:%1/v1/chat/completions").arg(port);
    }

    int m_port;
};

// Points the settings at a custom cloud provider with this endpoint, key and model.
void useCustomCloud(const QString& endpoint, const QString& apiKey,
                    const QString& model = QStringLiteral("fake-model"));

ChatMessages messagesOf(const QJsonObject& body);

QString fakeOllamaBinary();
