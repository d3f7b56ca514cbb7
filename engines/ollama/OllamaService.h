#pragma once

#include <chrono>
#include <optional>
#include <stop_token>

#include <QString>
#include <QStringList>

// The user's own Ollama installation: finding its executable, telling whether the local engine
// answers, starting it, and listing its models. Nothing here fails loudly: every failure reads as
// "not running", "not found" or an empty list. Blocking calls are meant for background tasks; each
// takes a stop token to cancel it.
class OllamaService {
public:
    // Where an `ollama` executable is looked for, in this order.
    static QStringList executableLocations();
    // The first of those that is an executable file.
    static std::optional<QString> ollamaPath();

    // GET base URL + "/api/version" answers 200 within 2 seconds.
    static bool isRunning(std::stop_token stop = {});

    static constexpr std::chrono::seconds defaultStartWait{12};

    // With the built-in engine selected and present, waits for it (at least 90 s). Otherwise starts
    // the user's `ollama serve` detached when nothing answers, and polls until `timeout`.
    static bool ensureRunning(std::chrono::milliseconds timeout = defaultStartWait, std::stop_token stop = {});

    // The models `ollama list` reports; empty in managed mode, without an executable, or when the
    // stop token fires (the command is killed then).
    static QStringList installedModels(std::stop_token stop = {});
    static bool hasModel(const QString& name, std::stop_token stop = {});

    // The names in the output of `ollama list`: the first column of every line after the header.
    static QStringList parseModelList(const QString& output);
    // `name` is listed exactly, as name:latest, or (a bare name) with any tag.
    static bool listsModel(const QStringList& models, const QString& name);
};
