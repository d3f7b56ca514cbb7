#include "engines/ollama/OllamaEmbedder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "engines/http/Http.h"
#include "engines/ollama/ManagedOllama.h"
#include "settings/SettingsStore.h"

using namespace std::chrono_literals;

namespace {

// The single vector of a successful answer {"embeddings": [[…]]}; nothing for anything else.
std::optional<Embedding> firstVector(const Http::Response& response)
{
    if (!response.ok() || response.status != 200)
        return std::nullopt;
    const QJsonArray embeddings =
        QJsonDocument::fromJson(response.body).object().value(QStringLiteral("embeddings")).toArray();
    if (embeddings.size() != 1)
        return std::nullopt;
    const QJsonArray values = embeddings.first().toArray();
    if (values.isEmpty())
        return std::nullopt;
    Embedding vector;
    vector.reserve(size_t(values.size()));
    for (const QJsonValue& value : values) {
        if (!value.isDouble())
            return std::nullopt;
        vector.push_back(value.toDouble());
    }
    return vector;
}

}

bool OllamaEmbedder::hasModel(Language language, std::stop_token stop)
{
    return vector(language, QStringLiteral("ping"), std::move(stop)).has_value();
}

std::optional<Embedding> OllamaEmbedder::vector(Language, const QString& text, std::stop_token stop)
{
    const QJsonObject body = {
        {QStringLiteral("model"), SettingsStore::load().embeddingModel},
        {QStringLiteral("input"), text},
    };
    Http::Request request = Http::Request::json("POST", ManagedOllama::baseURL() + QStringLiteral("/api/embed"), body);
    request.connectTimeout = 2s;
    // The first request may wait for the model to load; later ones answer in milliseconds.
    request.idleTimeout = 20s;
    return firstVector(Http::fetch(request, std::move(stop)));
}
