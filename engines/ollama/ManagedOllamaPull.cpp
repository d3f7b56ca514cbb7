// Model downloads into the built-in engine.
#include "engines/ollama/ManagedOllama.h"

#include <algorithm>
#include <cmath>

#include <QJsonDocument>
#include <QJsonObject>

#include "engines/chat/AnswerBody.h"
#include "engines/http/Http.h"
#include "settings/L10n.h"

using namespace std::chrono_literals;

namespace {

using PullError = ManagedOllama::PullError;
using PullPhase = ManagedOllama::PullPhase;

PullError streamError(const QString& text)
{
    return {PullError::Case::streamError, 0, text};
}

}

QString ManagedOllama::PullPhase::text() const
{
    switch (kind) {
    case Kind::downloading: return L10n::tf("model.dl.downloading", {qRound(fraction * 100)});
    case Kind::verifying: return L10n::t("model.dl.verifying");
    case Kind::done: return L10n::t("model.dl.done");
    }
    return {};
}

QString ManagedOllama::PullError::description() const
{
    switch (kind) {
    case Case::httpError: return QStringLiteral("下载出错（HTTP %1）：").arg(status) + text;
    case Case::streamError: return QStringLiteral("下载出错：") + text;
    case Case::serviceNotRunning: return QStringLiteral("本地 AI 引擎没能启动，无法下载模型。请稍后重试。");
    case Case::notBundled: return QStringLiteral("当前不是内置引擎模式，无需下载（请用你电脑上已装的 AI 引擎）。");
    case Case::cancelled: return QStringLiteral("已取消下载。");
    }
    return {};
}

ManagedOllama::PullLine ManagedOllama::parsePullLine(const QByteArray& line)
{
    const QJsonDocument document = QJsonDocument::fromJson(line.trimmed());
    if (!document.isObject())
        return {};
    const QJsonObject object = document.object();
    if (const QString error = object.value(QStringLiteral("error")).toString(); !error.isEmpty())
        return {PullLine::Kind::error, {}, error};
    const QString status = object.value(QStringLiteral("status")).toString().toLower();
    if (status == QLatin1String("success"))
        return {PullLine::Kind::progress, PullPhase::done(), {}};
    const QJsonValue total = object.value(QStringLiteral("total"));
    if (total.isDouble() && total.toDouble() > 0) {
        const double fraction = object.value(QStringLiteral("completed")).toDouble(0) / total.toDouble();
        return {PullLine::Kind::progress, PullPhase::downloading(std::clamp(fraction, 0.0, 1.0)), {}};
    }
    for (const char* word : {"verif", "writing", "digest"}) {
        if (status.contains(QLatin1String(word)))
            return {PullLine::Kind::progress, PullPhase::verifying(), {}};
    }
    if (status.contains(QLatin1String("pull")))
        return {PullLine::Kind::progress, PullPhase::downloading(0), {}};
    return {};
}

std::optional<ManagedOllama::PullError> ManagedOllama::pullModel(const QString& name, const ProgressHandler& onProgress,
                                                                 std::stop_token stop)
{
    if (!isBundled())
        return PullError{PullError::Case::notBundled, 0, {}};
    const QString url = baseURL() + QStringLiteral("/api/pull");
    if (!ensureRunning(30s, stop) || !Http::isWebUrl(url))
        return PullError{PullError::Case::serviceNotRunning, 0, {}};
    Http::Request request =
        Http::Request::json("POST", url, {{QStringLiteral("model"), name}, {QStringLiteral("stream"), true}});
    request.idleTimeout = 3600s;

    auto report = [&onProgress](const PullPhase& phase) {
        if (onProgress)
            onProgress(phase, phase.text());
    };
    std::optional<PullError> failure;
    bool doneSeen = false;
    const Http::Response response = Http::streamLines(
        request,
        [&](const QByteArray& line) {
            if (stop.stop_requested()) {
                failure = PullError{PullError::Case::cancelled, 0, {}};
                return false;
            }
            const PullLine parsed = parsePullLine(line);
            if (parsed.kind == PullLine::Kind::error) {
                failure = streamError(parsed.error);
                return false;
            }
            if (parsed.kind == PullLine::Kind::progress) {
                report(parsed.phase);
                doneSeen = doneSeen || parsed.phase.kind == PullPhase::Kind::done;
            }
            return true;
        },
        stop);

    if (failure)
        return failure;
    if (stop.stop_requested() || (response.error && response.error->code == TransportError::Code::cancelled))
        return PullError{PullError::Case::cancelled, 0, {}};
    if (response.error)
        return streamError(response.error->description());
    if (response.status != 200)
        return PullError{PullError::Case::httpError, response.status, AnswerBody::lines(response.body)};
    if (!doneSeen && !hasModel(name, stop))
        return streamError(QStringLiteral("下载未完成，请重试"));
    report(PullPhase::done());
    return std::nullopt;
}
