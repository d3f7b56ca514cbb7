#pragma once

#include <map>
#include <mutex>

#include <httplib.h>

#include <QDateTime>

#include "tools/fake_ollama/ModelStore.h"

// The HTTP side of the fake Ollama server: its routes and the little state they share.
class FakeOllama {
public:
    struct Config {
        QString modelsDir;   // OLLAMA_MODELS
        QString recordPath;  // FAKE_OLLAMA_RECORD
        int pullStepMs = 20; // FAKE_OLLAMA_PULL_STEP_MS: pause between progress lines
        QString keepAlive;   // OLLAMA_KEEP_ALIVE: a duration or seconds; default 5m
    };

    static constexpr const char* version = "0.12.3";

    explicit FakeOllama(Config config);
    void addRoutes(httplib::Server& server);

private:
    void chat(const httplib::Request& request, httplib::Response& response);
    void pull(const httplib::Request& request, httplib::Response& response);
    void remove(const httplib::Request& request, httplib::Response& response);
    void embed(const httplib::Request& request, httplib::Response& response);
    void root(const httplib::Request& request, httplib::Response& response);
    void showVersion(const httplib::Request& request, httplib::Response& response);
    void tags(const httplib::Request& request, httplib::Response& response);
    void running(const httplib::Request& request, httplib::Response& response);
    void markLoaded(const QString& model, double seconds);

    Config m_config;
    double m_keepAliveSeconds = 300;
    ModelStore m_store;
    std::mutex m_loadedMutex;
    std::map<QString, QDateTime> m_loaded; // model → when it will be unloaded
};
