#include "popup/ErrorLines.h"

#include <initializer_list>

#include "settings/L10n.h"

namespace ErrorLines {

namespace {

using Transport = TransportError::Code;

bool containsAny(const QString& text, std::initializer_list<const char*> phrases)
{
    const QString lower = text.toLower();
    for (const char* phrase : phrases) {
        if (lower.contains(QString::fromUtf8(phrase)))
            return true;
    }
    return false;
}

// What the text of an error that no rule knows by its type suggests.
const char* keyByDescription(const QString& description)
{
    if (looksLikeAuth(description))
        return "err.cloudAuth";
    if (looksLikeRateLimit(description))
        return "err.cloudRateLimit";
    if (containsAny(description, {"11434", "ollama"}))
        return "err.ollamaNotRunning";
    if (containsAny(description, {"timed out", "timeout"}))
        return "err.timeout";
    if (containsAny(description, {"offline", "not connected", "internet", "network"}))
        return "err.network";
    return "err.unknown";
}

const char* keyOf(const TransportError& error)
{
    switch (error.code) {
    case Transport::notConnectedToInternet:
    case Transport::networkConnectionLost:
    case Transport::cannotConnectToHost:
    case Transport::cannotFindHost:
    case Transport::dnsLookupFailed: return "err.network";
    case Transport::timedOut: return "err.timeout";
    case Transport::untrustedCertificate: return "err.certificate";
    case Transport::cancelled:
    case Transport::other: break;
    }
    return keyByDescription(error.description());
}

const char* keyOf(const CloudError& error)
{
    using Kind = CloudError::Kind;
    switch (error.kind) {
    case Kind::missingConfigFile:
    case Kind::malformedConfig:
    case Kind::missingApiKey:
    case Kind::missingBaseURL: return "err.cloudAuth";
    case Kind::httpError:
        if (error.status == 401 || error.status == 403 || looksLikeAuth(error.text))
            return "err.cloudAuth";
        if (error.status == 429 || looksLikeRateLimit(error.text))
            return "err.cloudRateLimit";
        return "err.cloudOther";
    case Kind::answerCutOff: return "err.cutOff";
    case Kind::decodingFailed:
    case Kind::invalidEndpoint:
    case Kind::emptyResponse: break;
    }
    return "err.cloudOther";
}

const char* keyOf(const QwenError& error)
{
    using Kind = QwenError::Kind;
    switch (error.kind) {
    case Kind::modelNotReady:
    case Kind::ollamaNotRunning: return "err.ollamaNotRunning";
    case Kind::notAnswering: return "err.ollamaNotAnswering";
    case Kind::answerCutOff: return "err.cutOff";
    case Kind::httpError:
    case Kind::decodingFailed:
    case Kind::emptyResponse: break;
    }
    return "err.qwenOther";
}

const char* keyOf(const Cancelled&)
{
    return "err.unknown";
}

}

const char* humanizeKey(const ChatFailure& failure)
{
    return std::visit([](const auto& error) { return keyOf(error); }, failure);
}

QString humanize(const ChatFailure& failure)
{
    return L10n::t(humanizeKey(failure));
}

bool looksLikeAuth(const QString& text)
{
    return containsAny(text,
                       {"unauthorized", "api key", "apikey", "invalid token", "authentication", "\"auth\"",
                        "auth error", "permission denied"});
}

bool looksLikeRateLimit(const QString& text)
{
    return containsAny(text,
                       {"rate limit", "rate_limit", "ratelimit", "too many requests", "quota", "insufficient",
                        "balance", "余额", "限流"});
}

}
