#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The built-in engine: an Ollama server shipped in share/quillo/ollama-runtime, run as our child
// on a private port with its own model directory, plus model downloads into it. When the bundle
// carries no engine, or the user chose their own Ollama, it stays off and says so.
// Blocking calls are meant for background tasks; each takes a stop token to cancel it.
class ManagedOllama {
public:
    static constexpr int managedPort = 11435;
    static constexpr int externalPort = 11434;

    // One entry of the download catalogue.
    struct ModelChoice {
        QString id; // Ollama model tag
        const char* titleKey;
        const char* descKey;
        QString sizeText; // shown as is
        bool recommended;
    };

    // Progress of a download.
    struct PullPhase {
        enum class Kind { downloading, verifying, done };
        Kind kind = Kind::downloading;
        double fraction = 0; // downloading only, 0 to 1

        static PullPhase downloading(double fraction) { return {Kind::downloading, fraction}; }
        static PullPhase verifying() { return {Kind::verifying, 0}; }
        static PullPhase done() { return {Kind::done, 0}; }
        // What the interface shows for it, localised: "正在下载模型… 46%", "校验中…", "完成".
        QString text() const;
        bool operator==(const PullPhase&) const = default;
    };

    // What one line of the download stream says.
    struct PullLine {
        enum class Kind { progress, error, ignore };
        Kind kind = Kind::ignore;
        PullPhase phase; // progress only
        QString error;   // error only

        bool operator==(const PullLine&) const = default;
    };

    struct PullError {
        enum class Case { httpError, streamError, serviceNotRunning, notBundled, cancelled };
        Case kind = Case::streamError;
        int status = 0; // httpError
        QString text;   // httpError: the body; streamError: what went wrong

        // The fixed Chinese sentence the interface shows.
        QString description() const;
        bool operator==(const PullError&) const = default;
    };

    // Receives each phase with its localised display text, on the downloading task.
    using ProgressHandler = std::function<void(const PullPhase& phase, const QString& text)>;

    static bool isBundled();
    static QString bundledRuntimeDir();
    // Where the built-in engine keeps its models: ~/.local/share/quillo/models.
    static QString dataDir();
    static QString resolveBase(bool useExternal, bool isBundled);
    // The local engine's address for the current settings, and its chat endpoint.
    static QString baseURL();
    static QString chatEndpoint();
    static const QList<ModelChoice>& modelCatalog();

    // Starts the built-in engine when it is not answering yet and waits for it; relaunches it
    // if it dies meanwhile. An engine already answering on the managed port is adopted.
    static bool ensureRunning(std::chrono::milliseconds timeout = std::chrono::seconds(30), std::stop_token stop = {});
    // The local engine answers "/api/tags" with 200 within 2 seconds.
    static bool isReady(std::stop_token stop = {});

    // Downloads a model into the built-in engine; nothing on success.
    static std::optional<PullError> pullModel(const QString& name, const ProgressHandler& onProgress,
                                              std::stop_token stop = {});
    static PullLine parsePullLine(const QByteArray& line);

    // The local engine's models; empty on any failure.
    static QStringList listModels(std::stop_token stop = {});
    static bool hasModel(const QString& name, std::stop_token stop = {});
    // Whether `name` is among `models`: exact, with or without ":latest", or any tag of a bare name.
    static bool listsModel(const QStringList& models, const QString& name);
    static bool deleteModel(const QString& name, std::stop_token stop = {});

    // The models of the user's own Ollama on the standard port, whatever the settings say; empty
    // on any failure. Asked on the calling task.
    static QStringList externalModels(std::stop_token stop,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(2));

    // Stops the engine this process started: SIGTERM, then SIGKILL after 3 seconds. Blocking, for
    // the program's way out, however it was asked to go. Should it die without getting here, the
    // engine still gets SIGTERM from its parent-death signal (EngineProcess).
    static void terminateSync();
};
