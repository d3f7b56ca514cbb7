#pragma once

#include <chrono>
#include <optional>
#include <stop_token>

#include <QString>
#include <QStringList>

// Small requests every Ollama probe makes.
namespace OllamaHttp {

// GET `url`; true only for status 200 within `timeout` (to connect and for each wait for data).
bool answersOk(const QString& url, std::chrono::milliseconds timeout, std::stop_token stop = {});

// GET an "/api/tags" address: the `name` of every object in `models`, in order; none for a
// failed request, a status other than 200, a body that is not JSON or lacks the array.
std::optional<QStringList> modelNames(const QString& url, std::chrono::milliseconds timeout, std::stop_token stop = {});

// Waits for `duration`; false when the stop token ended the wait early.
bool pause(std::chrono::milliseconds duration, std::stop_token stop);

}
