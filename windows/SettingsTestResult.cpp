#include "windows/SettingsTestResult.h"

#include <QStringList>

namespace SettingsTestResult {

namespace {

bool mentions(const QString& lowerBody, const QStringList& words)
{
    for (const QString& word : words)
        if (lowerBody.contains(word))
            return true;
    return false;
}

// A refused key is told apart from a spent quota first by the status, then by the body's words.
// 402 and 429 mean credit or rate whatever the body says: real 402 bodies carry error codes such
// as "invalid_request_error", which must not read as a wrong key.
const char* httpKey(int status, const QString& body)
{
    const QString lower = body.toLower();
    if (status == 401 || status == 403)
        return "settings.test.failAuth";
    if (status == 402 || status == 429)
        return "settings.test.failRate";
    if (mentions(lower,
                 {QStringLiteral("unauthorized"), QStringLiteral("api key"), QStringLiteral("invalid"),
                  QStringLiteral("authentication")}))
        return "settings.test.failAuth";
    if (mentions(lower,
                 {QStringLiteral("rate"), QStringLiteral("quota"), QStringLiteral("insufficient"),
                  QStringLiteral("余额"), QStringLiteral("balance")}))
        return "settings.test.failRate";
    return "settings.test.failOther";
}

const char* transportKey(TransportError::Code code)
{
    switch (code) {
    case TransportError::Code::timedOut: return "settings.test.failTimeout";
    case TransportError::Code::notConnectedToInternet:
    case TransportError::Code::networkConnectionLost:
    case TransportError::Code::cannotConnectToHost:
    case TransportError::Code::cannotFindHost:
    case TransportError::Code::dnsLookupFailed: return "settings.test.failNetwork";
    default: return "settings.test.failOther";
    }
}

const char* cloudKey(const CloudError& error)
{
    switch (error.kind) {
    case CloudError::Kind::missingConfigFile:
    case CloudError::Kind::malformedConfig:
    case CloudError::Kind::missingApiKey: return "settings.test.failAuth";
    case CloudError::Kind::httpError: return httpKey(error.status, error.text);
    case CloudError::Kind::missingBaseURL: return "settings.test.needURL";
    default: return "settings.test.failOther";
    }
}

}

const char* failKey(const ChatFailure& failure)
{
    if (const auto* transport = std::get_if<TransportError>(&failure))
        return transportKey(transport->code);
    if (const auto* cloud = std::get_if<CloudError>(&failure))
        return cloudKey(*cloud);
    return "settings.test.failOther";
}

}
