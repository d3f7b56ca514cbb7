#include "engines/ollama/OllamaHttp.h"

#include <condition_variable>
#include <mutex>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "engines/http/Http.h"

namespace OllamaHttp {

namespace {

Http::Response get(const QString& url, std::chrono::milliseconds timeout, std::stop_token stop)
{
    Http::Request request;
    request.url = url;
    request.connectTimeout = timeout;
    request.idleTimeout = timeout;
    return Http::fetch(request, std::move(stop));
}

}

bool answersOk(const QString& url, std::chrono::milliseconds timeout, std::stop_token stop)
{
    const Http::Response response = get(url, timeout, std::move(stop));
    return response.ok() && response.status == 200;
}

std::optional<QStringList> modelNames(const QString& url, std::chrono::milliseconds timeout, std::stop_token stop)
{
    const Http::Response response = get(url, timeout, std::move(stop));
    if (!response.ok() || response.status != 200)
        return std::nullopt;
    const QJsonValue models = QJsonDocument::fromJson(response.body).object().value(QStringLiteral("models"));
    if (!models.isArray())
        return std::nullopt;
    QStringList names;
    for (const QJsonValue& model : models.toArray()) {
        const QJsonValue name = model.toObject().value(QStringLiteral("name"));
        if (name.isString())
            names.append(name.toString());
    }
    return names;
}

bool pause(std::chrono::milliseconds duration, std::stop_token stop)
{
    std::mutex mutex;
    std::condition_variable_any never;
    std::unique_lock lock(mutex);
    never.wait_for(lock, stop, duration, [] { return false; });
    return !stop.stop_requested();
}

}
