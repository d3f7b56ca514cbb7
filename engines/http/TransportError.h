#pragma once

#include <QString>

// A failure of the exchange itself: no usable HTTP answer arrived. The codes are the ones the
// popup tells apart; everything it does not is `other`.
struct TransportError {
    enum class Code {
        notConnectedToInternet,
        networkConnectionLost,
        cannotConnectToHost,
        cannotFindHost,
        dnsLookupFailed,
        timedOut,
        untrustedCertificate,
        cancelled,
        other,
    };

    Code code = Code::other;
    QString detail; // libcurl's explanation: names the host at most, never a header or a body

    // One English sentence for the code, followed by the detail in parentheses.
    QString description() const;

    bool operator==(const TransportError&) const = default;
};
