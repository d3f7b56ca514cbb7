#include <gtest/gtest.h>

#include <QList>

#include "popup/ErrorLines.h"

namespace {

using Code = TransportError::Code;

TEST(ErrorLines, EveryFailureGetsOneLineThatTellsItsCause)
{
    // One row per branch of the rules that no session or --ask test reaches; codes of one case share a row.
    struct Case {
        ChatFailure failure;
        const char* key;
    };
    const QList<Case> cases = {
        {TransportError{Code::timedOut, QStringLiteral("no data for 120000 ms")}, "err.timeout"},
        {TransportError{Code::untrustedCertificate, QStringLiteral("SSL certificate problem: self-signed certificate")},
         "err.certificate"},
        // Other transport failures are judged by their text.
        {TransportError{Code::other, QStringLiteral("connect to 127.0.0.1:11434 refused")}, "err.ollamaNotRunning"},
        {TransportError{Code::other, QStringLiteral("proxy says: 429 Too Many Requests")}, "err.cloudRateLimit"},
        {TransportError{Code::other, QStringLiteral("proxy says: Unauthorized")}, "err.cloudAuth"},
        {TransportError{Code::other, QStringLiteral("SSL handshake timeout")}, "err.timeout"},
        {TransportError{Code::other, QStringLiteral("network is unreachable")}, "err.network"},
        {TransportError{Code::other, QStringLiteral("a request header holds a line break")}, "err.unknown"},
        {CloudError::missingApiKey(QStringLiteral("/x/config.json")), "err.cloudAuth"},
        {CloudError::httpError(401, QStringLiteral("whatever")), "err.cloudAuth"},
        {CloudError::httpError(400,
                               QStringLiteral(R"({"error":{"code":"invalid_api_key","message":"Invalid API Key"}})")),
         "err.cloudAuth"},
        {CloudError::httpError(400, QStringLiteral(R"({"type":"auth"})")), "err.cloudAuth"},
        {CloudError::httpError(402, QStringLiteral("Insufficient Balance")), "err.cloudRateLimit"},
        {CloudError::httpError(429, QString()), "err.cloudRateLimit"},
        {CloudError::httpError(400, QStringLiteral("账户余额不足")), "err.cloudRateLimit"},
        {CloudError::httpError(500, QString()), "err.cloudOther"},
        {CloudError::httpError(400, QStringLiteral("author field missing")),
         "err.cloudOther"}, // "auth" alone is not enough
        {CloudError::decodingFailed(QStringLiteral("not JSON")), "err.cloudOther"},
        {QwenError::modelNotReady(QStringLiteral("qwen2.5:7b")), "err.ollamaNotRunning"},
        {QwenError::httpError(500, QStringLiteral("unauthorized")), "err.qwenOther"}, // a local failure stays local
        {QwenError::notAnswering(), "err.ollamaNotAnswering"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(ErrorLines::humanizeKey(c.failure), c.key)
            << ChatResult::failed(c.failure).description().toStdString();
    }
}

}
